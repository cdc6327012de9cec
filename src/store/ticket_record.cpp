#include "store/ticket_record.h"

namespace corvane {
namespace {

void PutU16(RecordImage* image, std::size_t offset, std::uint16_t value) {
  (*image)[offset] = static_cast<std::uint8_t>(value & 0xFF);
  (*image)[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t GetU16(const RecordImage& image, std::size_t offset) {
  return static_cast<std::uint16_t>(image[offset] | (image[offset + 1] << 8));
}

void PutI32(RecordImage* image, std::size_t offset, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  PutU16(image, offset, static_cast<std::uint16_t>(bits & 0xFFFF));
  PutU16(image, offset + 2, static_cast<std::uint16_t>(bits >> 16));
}

std::int32_t GetI32(const RecordImage& image, std::size_t offset) {
  const std::uint32_t bits =
      GetU16(image, offset) | (static_cast<std::uint32_t>(GetU16(image, offset + 2)) << 16);
  return static_cast<std::int32_t>(bits);
}

template <std::size_t N>
void PutText(RecordImage* image, std::size_t offset, const ShortText<N>& text) {
  (*image)[offset] = static_cast<std::uint8_t>(text.Size());
  for (std::size_t i = 0; i < N; ++i) {
    (*image)[offset + 1 + i] = i < text.Size() ? static_cast<std::uint8_t>(text[i]) : 0;
  }
}

template <std::size_t N>
ShortText<N> GetText(const RecordImage& image, std::size_t offset) {
  const std::size_t length = image[offset] < N ? image[offset] : N;
  ShortText<N> text;
  for (std::size_t i = 0; i < length; ++i) text.Append(static_cast<char>(image[offset + 1 + i]));
  return text;
}

void PutAddress(RecordImage* image, std::size_t offset, const NetAddress& address) {
  PutU16(image, offset, static_cast<std::uint16_t>(address.Zone));
  PutU16(image, offset + 2, static_cast<std::uint16_t>(address.Net));
  PutU16(image, offset + 4, static_cast<std::uint16_t>(address.Node));
  PutU16(image, offset + 6, static_cast<std::uint16_t>(address.Point));
}

NetAddress GetAddress(const RecordImage& image, std::size_t offset) {
  return NetAddress{static_cast<std::int16_t>(GetU16(image, offset)),
                    static_cast<std::int16_t>(GetU16(image, offset + 2)),
                    static_cast<std::int16_t>(GetU16(image, offset + 4)),
                    static_cast<std::int16_t>(GetU16(image, offset + 6))};
}

}  // namespace

RecordImage EncodeTicketRecord(const TicketRecord& record) {
  RecordImage image{};
  PutText(&image, TicketKeyOffset, record.TicketKey);
  PutText(&image, FileNameOffset, record.FileName);
  PutText(&image, DescriptionOffset, record.Description);
  PutText(&image, AreaOffset, record.Area);
  PutI32(&image, FileSizeOffset, record.FileSize);
  PutAddress(&image, OriginOffset, record.Origin);
  PutAddress(&image, FromOffset, record.From);
  return image;
}

TicketRecord DecodeTicketRecord(const RecordImage& image) {
  TicketRecord record;
  record.TicketKey = GetText<8>(image, TicketKeyOffset);
  record.FileName = GetText<12>(image, FileNameOffset);
  record.Description = GetText<255>(image, DescriptionOffset);
  record.Area = GetText<20>(image, AreaOffset);
  record.FileSize = GetI32(image, FileSizeOffset);
  record.Origin = GetAddress(image, OriginOffset);
  record.From = GetAddress(image, FromOffset);
  return record;
}

void SetImageFileSize(RecordImage* image, std::int32_t file_size) {
  PutI32(image, FileSizeOffset, file_size);
}

}  // namespace corvane
