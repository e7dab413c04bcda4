// The internal-restriction report, the installable handler and the plain text channels.
#include "util/assert_handler.h"

#include "util/messages.h"

#include <fmt/printf.h>

#include <cstdlib>
#include <cstring>

namespace {

AssertHandler gHandler;
bool gLogging = false;

// fmt prints a null const char* as an error, printf as "(null)"; the report wants the latter.
const char* orNull(const char* text) {
  return text != nullptr ? text : "(null)";
}

// The file as shown in a report: from the first "p4" that is directly followed by a path
// separator, so that reports from different build machines read alike; else the whole path.
const char* shownFile(const char* file) {
  for (const char* p = std::strstr(file, "p4"); p != nullptr; p = std::strstr(p + 2, "p4")) {
    if (p[2] == '/' || p[2] == '\\')
      return p;
  }
  return file;
}

// A check in the inline code of the library's headers is compiled in the caller's build, where
// __FILE__ is the header's path on that machine (an installed include tree, a source tree). It
// is named as the library's own sources are, "src/util/<name>.h"; other files are kept.
std::string sourceName(const char* file) {
  const std::string path = file;
  const std::size_t at = path.rfind("util/");
  if (at == std::string::npos || path.find('/', at + 5) != std::string::npos || path.size() < 2 ||
      path.compare(path.size() - 2, 2, ".h") != 0)
    return path;
  // The include root the caller's compiler used: none, our source tree, or an installed tree.
  const std::string root = "/" + path.substr(0, at);
  for (const std::string ours : {"/src/", "/include/loom/"})
    if (root.size() >= ours.size() &&
        root.compare(root.size() - ours.size(), ours.size(), ours) == 0)
      return "src/" + path.substr(at);
  return at == 0 ? "src/" + path : path;
}

// The qualified function name out of a compiler signature: what stands before the first
// "(" and after the last blank before it, without the "*" or "&" of a returned pointer or
// reference that Clang writes against the name. Only the first 999 characters are considered.
std::string shownFunction(const char* function) {
  char buffer[1000];
  std::strncpy(buffer, function, sizeof buffer - 1);
  buffer[sizeof buffer - 1] = '\0';
  if (char* paren = std::strchr(buffer, '('))
    *paren = '\0';
  const char* blank = std::strrchr(buffer, ' ');
  const char* name = blank != nullptr ? blank + 1 : buffer;
  while (*name == '*' || *name == '&')
    ++name;
  return name;
}

std::string defaultReport(const char* condition, const char* file, unsigned int line,
                          const char* function, const char* message) {
  const std::string name = shownFunction(function);
  const char* where = shownFile(file);
  if (message == nullptr)
    return fmt::sprintf("%s Internal Restriction: '%s' [%s at %s:%u] ", "Compiler",
                        orNull(condition), name, where, line);
  if (condition != nullptr)
    return fmt::sprintf("%s Internal Restriction: '%s'. %s [%s at %s:%u] ", "Compiler", condition,
                        message, name, where, line);
  return fmt::sprintf("%s Internal Restriction: %s [%s at %s:%u] ", "Compiler", message, name,
                      where, line);
}

} // namespace

void aster_assert_handler(const char* condition, const char* file, unsigned int line,
                          const char* function, const char* message) {
  const std::string source = sourceName(orNull(file));
  if (gHandler) {
    gHandler(condition, file != nullptr ? source.c_str() : nullptr, line, function, message);
    std::exit(100);
  }
  // Stop right at the failing check, with nothing written, for a debugger or a crash dump.
  if (std::getenv("SEGFAULT_ASSERT") != nullptr)
    std::abort();
  // File and function always come from a check site; a caller passing null gets "(null)"
  // rather than a crash inside the report.
  const std::string report =
      defaultReport(condition, source.c_str(), line, orNull(function), message);
  MessageHandlerRegister::errors.ReceiveMessage(report.c_str());
  std::exit(100);
}

void aster_assert_handler(const char* condition, const char* file, unsigned int line,
                          const char* function, const std::string& message) {
  aster_assert_handler(condition, file, line, function, message.c_str());
}

void set_assert_handler(AssertHandler handler) {
  gHandler = handler;
}

void restore_default_assert_handler() {
  gHandler = AssertHandler();
}

void aster_error_printf(const std::string& text) {
  MessageHandlerRegister::errors.ReceiveMessage(text.c_str());
  std::exit(1);
}

void aster_warning_printf(const std::string& text) {
  MessageHandlerRegister::warnings.ReceiveMessage(text.c_str());
}

void aster_log_printf(const std::string& text) {
  if (gLogging)
    MessageHandlerRegister::debug.ReceiveMessage(text.c_str());
}

bool loom_set_logging(bool on) {
  const bool previous = gLogging;
  gLogging = on;
  return previous;
}

bool loom_get_logging() {
  return gLogging;
}
