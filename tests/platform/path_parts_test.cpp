// Splitting a path into its folder and name, and joining them again, with
// the separators of the system the core is built for.
#include <gtest/gtest.h>

#include "path_parts.h"

namespace quillmark {
namespace {

struct SplitCase {
  const char* path;
  const char* folder;
  const char* name;
};

TEST(PathPartsTest, SplitsAtTheLastSeparatorAndKeepsARootsOwn) {
  const SplitCase cases[] = {
      {"list.csv", ".", "list.csv"},
      {"out/list.csv", "out", "list.csv"},
      {"/list.csv", "/", "list.csv"},
      {"/a/b/list.csv", "/a/b", "list.csv"},
#ifdef _WIN32
      {"out\\list.csv", "out", "list.csv"},
      {"C:\\a/b\\list.csv", "C:\\a/b", "list.csv"},
      {"C:\\a\\b/list.csv", "C:\\a\\b", "list.csv"},
      {"C:\\list.csv", "C:\\", "list.csv"},
      {"C:/list.csv", "C:/", "list.csv"},
      {"\\list.csv", "\\", "list.csv"},
      {"C:list.csv", "C:.", "list.csv"},
      {"\\\\server\\share\\list.csv", "\\\\server\\share", "list.csv"},
#else
      {"out\\list.csv", ".", "out\\list.csv"},  // a backslash is part of a Linux name
#endif
  };
  for (const SplitCase& c : cases) {
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.folder, c.folder) << c.path;
    EXPECT_EQ(parts.name, c.name) << c.path;
  }
}

TEST(PathPartsTest, JoinsWithOneSeparator) {
  struct JoinCase {
    const char* folder;
    const char* joined;  // with the name "x"
  };
  const JoinCase cases[] = {
      {"/", "/x"},   {"/a/", "/a/x"},
#ifdef _WIN32
      {"a", "a\\x"}, {"a/", "a/x"},   {"C:\\", "C:\\x"}, {"C:", "C:x"}, {"C:.", "C:.\\x"},
#else
      {"a", "a/x"},
      {"a\\", "a\\/x"},
#endif
  };
  for (const JoinCase& c : cases)
    EXPECT_EQ(JoinPath(c.folder, "x"), c.joined) << c.folder;
}

}  // namespace
}  // namespace quillmark
