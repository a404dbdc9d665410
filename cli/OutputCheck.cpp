#include "cli/OutputCheck.h"

#include <cstring>
#include <string>

#include "cli/CliErrors.h"
#include "cli/DescriptorOutput.h"

namespace korvane::cli {
namespace {

std::string FailureText(const std::ostream& stream) {
  const auto* buffer = dynamic_cast<const TDescriptorBuffer*>(stream.rdbuf());
  return buffer != nullptr && buffer->Error() != 0 ? std::strerror(buffer->Error())
                                                   : "the output failed";
}

}  // namespace

int CheckedExit(int exitCode, std::ostream& out, std::ostream& err) {
  out.flush();
  const bool outFailed = !out;
  if (outFailed) err << ErrorLine("cannot write to standard output: " + FailureText(out));
  err.flush();
  const bool failed = outFailed || !err;
  if (!failed || exitCode != static_cast<int>(TExitCode::Success)) return exitCode;
  return static_cast<int>(TExitCode::OutputError);
}

}  // namespace korvane::cli
