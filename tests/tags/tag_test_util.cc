#include "tag_test_util.h"

#include <fstream>
#include <iterator>

#include "tags/read_track_file.h"

namespace deltrix::testing {

Bytes Id3v2(uint8_t major, uint8_t revision, const Bytes& body, uint8_t flags) {
  return TagBytes()
      .Ascii("ID3")
      .U8(major)
      .U8(revision)
      .U8(flags)
      .SyncSafe(uint32_t(body.size()))
      .Raw(body);
}

Bytes Frame22(std::string_view id, const Bytes& data) {
  return TagBytes().Ascii(id).Be24(uint32_t(data.size())).Raw(data);
}

Bytes Frame23(std::string_view id, const Bytes& data, uint8_t flags2) {
  return TagBytes().Ascii(id).Be32(uint32_t(data.size())).U8(0).U8(flags2).Raw(data);
}

Bytes Frame24(std::string_view id, const Bytes& data, uint8_t flags2) {
  return TagBytes().Ascii(id).SyncSafe(uint32_t(data.size())).U8(0).U8(flags2).Raw(data);
}

Bytes Latin(std::string_view text) { return TagBytes().U8(0).Ascii(text); }
Bytes Utf16WithMark(std::u16string_view text) {
  return TagBytes().U8(1).U8(0xFF).U8(0xFE).Utf16Le(text).Zeros(2);
}
Bytes Utf8Text(std::string_view text) { return TagBytes().U8(3).Ascii(text); }

Bytes Id3v1(std::string_view title, std::string_view artist, std::string_view album,
            uint8_t byte125, uint8_t byte126, uint8_t genre) {
  auto field = [](std::string_view s) {
    Bytes b(s.begin(), s.end());
    b.resize(30, 0);
    return b;
  };
  return TagBytes()
      .Ascii("TAG")
      .Raw(field(title))
      .Raw(field(artist))
      .Raw(field(album))
      .Ascii("2001")
      .Fill(28, 'c')
      .U8(byte125)
      .U8(byte126)
      .U8(genre);
}

Bytes Atom(std::string_view type, const Bytes& content) {
  return TagBytes().Be32(uint32_t(8 + content.size())).Ascii(type).Raw(content);
}

Bytes TextItem(std::string_view type, std::string_view utf8) {
  const Bytes data = TagBytes().Be32(1).Zeros(4).Ascii(utf8);  // type indicator 1 (UTF-8), locale 0
  return Atom(type, Atom("data", data));
}

Bytes TrknItem(uint16_t track, uint16_t total) {
  return Atom("trkn",
              Atom("data", TagBytes().Be32(0).Zeros(4).Be16(0).Be16(track).Be16(total).Be16(0)));
}

Bytes Chunk(std::string_view id, const Bytes& content) {
  return TagBytes().Ascii(id).Le32(uint32_t(content.size())).Raw(content);
}

Bytes InfoItem(std::string_view id, std::string_view text) {
  TagBytes b;
  b.Ascii(id).Le32(uint32_t(text.size())).Ascii(text);
  if (text.size() % 2) b.U8(0);
  return b;
}

Bytes Riff(std::string_view form, const Bytes& chunks) {
  return TagBytes().Ascii("RIFF").Le32(uint32_t(4 + chunks.size())).Ascii(form).Raw(chunks);
}

Bytes Audio(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i % 4 == 0 ? 0xFF : 0x55 + i % 7);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes ReadDataFile(const std::string& relativePath) {
  std::ifstream in(std::string(DELTRIX_TEST_DATA) + "/" + relativePath, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

ReadResult ReadFile(const Bytes& data, std::u16string_view path, int tagLanguage,
                    platform::TextCodec* codec) {
  MemoryFileSystem files;
  IconvTestCodec testCodec;
  files.AddFile(path, data);
  ReadResult r;
  r.result = tags::ReadTrackFile(files, codec ? *codec : testCodec, path, &r.record, tagLanguage);
  return r;
}

}  // namespace deltrix::testing
