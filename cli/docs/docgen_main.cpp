// nolvo-docgen WHAT OUT: writes a file made from the tool's command line, at build time.
// WHAT is "man" (nolvo.1), "setup-man" (nolvo-setup.1) or "bash-completion".

#include <cstdio>
#include <fstream>
#include <string>

#include "cli/docs/bash_completion.h"
#include "cli/docs/command_doc.h"
#include "cli/docs/man_page.h"
#include "cli/tool_app.h"

int main(int argc, char** argv) {
  using namespace nolvo::cli;
  if (argc != 3) {
    std::fprintf(stderr, "usage: nolvo-docgen man|setup-man|bash-completion OUT\n");
    return 2;
  }
  const std::string what = argv[1];
  ToolApp tool;
  const docs::CommandDoc root = docs::DescribeApp(tool.App());
  std::string text;
  if (what == "man")
    text = docs::ToolManPage(root, VersionText());
  else if (what == "setup-man")
    text = docs::SetupManPage(VersionText());
  else if (what == "bash-completion")
    text = docs::BashCompletion(root);
  else {
    std::fprintf(stderr, "nolvo-docgen: unknown output %s\n", argv[1]);
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "nolvo-docgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
