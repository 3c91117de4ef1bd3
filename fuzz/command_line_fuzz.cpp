// The command line: any text a shortcut, a script or the shell extension can hand over (the
// input as UTF-8). The wizards copy the argument into a buffer of 260 characters, and every
// spelling of one request (either switch mark, quotes, blanks) has to open the same thing.
#include <string>

#include "common/text.h"
#include "fuzz/fuzz_input.h"
#include "utility/command_line.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsSwitchMark(char16_t c) { return c == u'/' || c == u'-'; }

bool SameRequest(const StartRequest& a, const StartRequest& b) {
  return a.help == b.help && a.switchLetter == b.switchLetter && a.argument == b.argument &&
         a.argumentTooLong == b.argumentTooLong;
}

// An argument that reads back as itself without quotes: nothing to trim, no outer quote pair.
bool IsPlain(std::u16string_view argument) {
  if (argument.empty()) return true;
  if (IsBlank(argument.front()) || IsBlank(argument.back())) return false;
  return !(argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const StartRequest request = ReadCommandLine(text);
  const StartAction action = ChooseStartAction(request);

  FUZZ_CHECK(request.help == (text.size() >= 2 && IsSwitchMark(text[0]) && text[1] == u'?'));
  FUZZ_CHECK(request.help == (action == StartAction::Help));
  if (request.help) return 0;

  // The argument fits its buffer, and comes from the command line as it was, never made up.
  FUZZ_CHECK(request.argument.size() <= kMaxArgumentLength);
  FUZZ_CHECK(text.find(request.argument) != std::u16string::npos);
  FUZZ_CHECK(!request.argumentTooLong || request.argument.size() == kMaxArgumentLength);
  // A cut path is never opened: Create and Mount refuse it.
  if (request.argumentTooLong && (request.switchLetter == u'c' || request.switchLetter == u'm')) {
    FUZZ_CHECK(action == StartAction::RefuseArgument);
  }
  if (action == StartAction::RefuseArgument) FUZZ_CHECK(request.argumentTooLong);
  if (text.empty()) FUZZ_CHECK(action == StartAction::StartWindow && request.switchLetter == 0);

  if (request.switchLetter == 0) return 0;
  const std::u16string letter(1, request.switchLetter);
  const std::u16string& argument = request.argument;

  // Quoted after either mark and blanks, the argument reads back whole, whatever it holds.
  const StartRequest quoted = ReadCommandLine(u"-" + letter + u" \t\"" + argument + u"\"  ");
  FUZZ_CHECK(quoted.switchLetter == request.switchLetter);
  FUZZ_CHECK(quoted.argument == argument);
  FUZZ_CHECK(!quoted.argumentTooLong);

  if (!IsPlain(argument)) return 0;
  const StartRequest joined = ReadCommandLine(u"/" + letter + argument);
  const StartRequest spaced = ReadCommandLine(u"/" + letter + u"  " + argument + u"\t");
  if (!request.argumentTooLong) {
    FUZZ_CHECK(SameRequest(joined, request));
    FUZZ_CHECK(SameRequest(spaced, request));
  }
  // A bare path is the Mount wizard's, just as with its switch.
  if (request.switchLetter == u'm' && !argument.empty() && !IsSwitchMark(argument.front())) {
    const StartRequest bare = ReadCommandLine(argument);
    FUZZ_CHECK(bare.switchLetter == u'm' && bare.argument == argument);
    FUZZ_CHECK(ChooseStartAction(bare) == StartAction::MountWizard);
  }
  return 0;
}
