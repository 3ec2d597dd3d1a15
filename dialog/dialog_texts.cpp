#include "dialog_texts.h"

#include <cstdio>

namespace quillmark {

std::string HelpPageName(const std::string& programBaseName, InterfaceLanguage language) {
  return programBaseName + (language == InterfaceLanguage::English ? "_en.html" : ".html");
}

std::string HelpTopicAnchor(unsigned topic) {
  char anchor[32];
  std::snprintf(anchor, sizeof anchor, "topic-0x%x", topic);
  return anchor;
}

}  // namespace quillmark
