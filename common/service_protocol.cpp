// The disk service's protocol: request bytes both ways, reply reading, List lines.
#include "common/service_protocol.h"

#include "common/text.h"

namespace {

struct RequestForm {
  ServiceRequest kind;
  std::u16string_view keyword;
  size_t arguments;
  uint32_t replyCapacity;
};

constexpr RequestForm kForms[] = {
    {ServiceRequest::Mount, u"Mount", 5, kIntegerReplyCapacity},
    {ServiceRequest::Unmount, u"Unmount", 1, kIntegerReplyCapacity},
    {ServiceRequest::Status, u"Status", 1, kIntegerReplyCapacity},
    {ServiceRequest::ListSize, u"ListSize", 0, kIntegerReplyCapacity},
    {ServiceRequest::List, u"List", 0, 0},
    {ServiceRequest::StorageAccessible, u"StorageAccessible", 2, kAccessReplyCapacity},
};

const RequestForm& FormOf(ServiceRequest kind) {
  for (const RequestForm& form : kForms) {
    if (form.kind == kind) return form;
  }
  return kForms[0];
}

template <class Arguments>
SecretBytes Assemble(ServiceRequest kind, const Arguments& arguments) {
  const std::u16string_view keyword = FormOf(kind).keyword;
  size_t length = keyword.size() + 1;
  for (std::u16string_view argument : arguments) length += argument.size() + 1;
  SecretText text;
  text.reserve(length);
  text += keyword;
  text += kLineEnd;
  for (std::u16string_view argument : arguments) {
    text += argument;
    text += kLineEnd;
  }
  SecretBytes bytes = ToSecretUtf8(text);
  bytes.push_back('\0');
  return bytes;
}

}  // namespace

std::u16string_view KeywordOf(ServiceRequest kind) { return FormOf(kind).keyword; }
size_t ArgumentCount(ServiceRequest kind) { return FormOf(kind).arguments; }
uint32_t ReplyCapacity(ServiceRequest kind) { return FormOf(kind).replyCapacity; }

SecretBytes RequestBytes(ServiceRequest kind, std::initializer_list<std::u16string_view> arguments) {
  return Assemble(kind, arguments);
}

SecretBytes RequestBytes(ServiceRequest kind, const std::vector<std::u16string>& arguments) {
  return Assemble(kind, arguments);
}

std::optional<ReceivedRequest> ReadRequest(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.back() != '\0' || bytes.find('\0') != bytes.size() - 1) return std::nullopt;
  const std::string_view text = bytes.substr(0, bytes.size() - 1);
  if (text.back() != '\n') return std::nullopt;
  std::vector<std::u16string> lines = SplitText(FromUtf8(text), kLineEnd);
  if (lines.empty()) return std::nullopt;
  for (const RequestForm& form : kForms) {
    if (lines[0] == form.keyword && lines.size() - 1 == form.arguments) {
      lines.erase(lines.begin());
      return ReceivedRequest{form.kind, std::move(lines)};
    }
  }
  return std::nullopt;
}

std::u16string ReplyText(std::string_view received) { return FromUtf8(received); }

int32_t ReadIntegerReply(std::string_view received) { return ReadInteger(ReplyText(received)); }

AccessAnswer ReadAccessReply(std::string_view received) {
  const std::vector<std::u16string> pieces = SplitText(ReplyText(received), kLineEnd);
  if (pieces.size() < 2) return {};
  return {ReadInteger(pieces[0]), ReadInteger(pieces[1])};
}

std::string ListLine(std::u16string_view drive, std::u16string_view path, int32_t number) {
  std::u16string line(drive);
  line += kListFieldSeparator;
  line += path;
  line += kListFieldSeparator;
  line += U16(std::to_string(number));
  line += kLineEnd;
  return ToUtf8(line);
}
