// The files the tool writes for other programs are the same in every
// language: the manifest, the verify report, the ledger's export and the
// ZPL labels are written under a Chinese and an English locale and
// compared byte for byte, as are the exit statuses. Only the lines meant
// for people change language.
#include <sys/stat.h>

#include <fstream>
#include <regex>

#include "cli_fixture.h"
#include "fixture_image.h"

namespace quillmark::test {
namespace {

struct Locale {
  const char* name;
  std::vector<std::string> environment;
};

const Locale kLocales[] = {
    {"zh", {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG=zh_CN.UTF-8"}},
    {"en", {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG=en_US.UTF-8"}},
};

class LanguageDataTest : public CliTest {
 protected:
  // The tool under locale, in the folder of that locale's session when
  // session is set.
  ChildResult RunIn(const Locale& locale, const std::vector<std::string>& args,
                    bool session = false) {
    ChildOptions options;
    options.environment = locale.environment;
    options.environment.push_back("QUILLMARK_LEDGER");
    if (session)
      options.workingDirectory = m_root + "/" + locale.name;
    return Run(args, options);
  }

  // What one session leaves for other programs, under one locale, in a
  // folder of its own: each file's bytes and each command's status.
  std::string Session(const Locale& locale) {
    const std::string dir = m_root + "/" + locale.name;
    if (::mkdir(dir.c_str(), 0777) != 0)
      return "no folder";
    WriteFileBytes(dir + "/image.img", m_image);
    std::string statuses;
    const auto step = [&](const std::vector<std::string>& args) {
      const ChildResult result = RunIn(locale, args, true);
      statuses += std::to_string(result.exitCode) + " ";
      return result;
    };
    step({"ledger", "init", "lot.ledger"});
    step({"--image=image.img", "--count=3", "--macs-per-device=2", "--manifest=lot.csv",
          "--ledger=lot.ledger"});
    step({"--image=image.img", "--count=3", "--dry-run", "--no-ledger"});
    // A file lost and one left over: the report has rows of every kind.
    std::remove((dir + "/out/fw_045755_000002.img").c_str());
    std::ofstream(dir + "/out/fw_112233_000000.img") << "x";
    step({"verify", "--image=image.img", "--manifest=lot.csv", "--report=report.csv"});
    step({"labels", "--manifest=lot.csv", "--zpl=lot.zpl", "--layout=roll-50x25"});
    step({"--image=image.img", "--count=0", "--no-ledger"});
    const ChildResult exported = step({"ledger", "export", "--ledger=lot.ledger"});
    std::string files;
    for (const char* name : {"lot.csv", "report.csv", "lot.zpl", "out/fw_045755_000000.img",
                             "out/fw_045755_000004.img"})
      files += std::string(name) + ":\n" + ReadFileText(dir + "/" + name);
    // The export names the session's folder and the moments of its writes.
    const std::regex moment(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");
    std::string exportText = std::regex_replace(exported.out, moment, "TIME");
    for (std::size_t at = exportText.find(dir); at != std::string::npos; at = exportText.find(dir))
      exportText.replace(at, dir.size(), "SESSION");
    return statuses + "\n" + files + "export:\n" + exportText;
  }
};

TEST_F(LanguageDataTest, FilesAndStatusesAreTheSameInEveryLanguage) {
  const std::string chinese = Session(kLocales[0]);
  const std::string english = Session(kLocales[1]);
  EXPECT_EQ(chinese.substr(0, chinese.find('\n')), "0 0 0 3 0 1 0 ");
  EXPECT_NE(ReadFileText(m_root + "/zh/lot.zpl"), "");
  EXPECT_NE(chinese.find("SESSION/out"), std::string::npos);
  EXPECT_EQ(english, chinese);
}

TEST_F(LanguageDataTest, ThePeoplesLinesChangeLanguage) {
  const ChildResult chinese = RunIn(kLocales[0], {"--image=image.img", "--count=0"});
  const ChildResult english = RunIn(kLocales[1], {"--image=image.img", "--count=0"});
  EXPECT_EQ(chinese.exitCode, english.exitCode);
  EXPECT_NE(FirstChineseLine(chinese.err), "");
  EXPECT_EQ(FirstChineseLine(english.err), "");
  EXPECT_EQ(english.err, "0: give a number from 1 to 65535\nInvalid device count.\n");
}

}  // namespace
}  // namespace quillmark::test
