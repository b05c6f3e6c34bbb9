#include "formats.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "rng.h"
#include "text.h"

namespace deltrix::bench {
namespace {

void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void PutBe16(std::vector<uint8_t>& out, uint32_t v) {
  Put8(out, v >> 8);
  Put8(out, v);
}
void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) Put8(out, v >> (8 * i));
}
void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  Put8(out, v);
  Put8(out, v >> 8);
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) Put8(out, v >> (8 * i));
}
void PutText(std::vector<uint8_t>& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}
void PutBytes(std::vector<uint8_t>& out, std::span<const uint8_t> b) {
  out.insert(out.end(), b.begin(), b.end());
}
void PutZeros(std::vector<uint8_t>& out, size_t n) { out.insert(out.end(), n, 0); }
void PatchBe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}
void PatchLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Size32(size_t n) { return static_cast<uint32_t>(n); }
// ID3v2.4 structure 6.2: sizes are sync-safe, seven bits per byte.
uint32_t SyncSafe(uint32_t v) {
  return (v & 0x7F) | ((v << 1) & 0x7F00) | ((v << 2) & 0x7F0000) | ((v << 3) & 0x7F000000);
}

void PutUtf16Le(std::vector<uint8_t>& out, std::string_view utf8) {
  for (char16_t u : FromUtf8(utf8)) PutLe16(out, u);
}

// Frames of one ID3v2 tag, appended to `out`; Finish() adds the padding and the header's size.
class Id3Writer {
 public:
  Id3Writer(std::vector<uint8_t>& out, const Id3Layout& layout)
      : out_(out), layout_(layout), start_(out.size()) {
    PutText(out_, "ID3");
    Put8(out_, static_cast<uint32_t>(layout.version));
    Put8(out_, 0);
    Put8(out_, 0);
    PutZeros(out_, 4);
  }

  void Text(const char* id, std::string_view text, bool number) {
    if (text.empty()) return;
    const size_t at = BeginFrame(id);
    if (number && layout_.latin1Numbers) {
      Put8(out_, 0);
      PutText(out_, text);
      if (layout_.terminators) Put8(out_, 0);
    } else {
      PutEncodedText(text, layout_.terminators);
    }
    EndFrame(at);
  }

  void Comment(std::string_view text) {
    const size_t at = BeginFrame("COMM");
    Put8(out_, Encoding());
    PutText(out_, "eng");
    PutEncodedString("", true);
    PutEncodedString(text, false);
    EndFrame(at);
  }

  void UserText(std::string_view description, std::string_view value) {
    const size_t at = BeginFrame("TXXX");
    Put8(out_, Encoding());
    PutEncodedString(description, true);
    PutEncodedString(value, false);
    EndFrame(at);
  }

  void Private(std::string_view owner, std::span<const uint8_t> data) {
    const size_t at = BeginFrame("PRIV");
    PutText(out_, owner);
    Put8(out_, 0);
    PutBytes(out_, data);
    EndFrame(at);
  }

  void Picture(uint32_t size, const Noise& noise, uint64_t key) {
    const size_t at = BeginFrame("APIC");
    Put8(out_, 0);
    PutText(out_, "image/jpeg");
    Put8(out_, 0);
    Put8(out_, 3);  // front cover
    Put8(out_, 0);  // empty description
    AppendJpeg(out_, size, noise, key);
    EndFrame(at);
  }

  void Finish() {
    PutZeros(out_, layout_.padding);
    PatchBe32(out_, start_ + 6, SyncSafe(Size32(out_.size() - start_ - 10)));
  }

 private:
  uint8_t Encoding() const { return layout_.version == 4 ? 3 : 1; }

  // The text with its encoding byte: UTF-16 with a little-endian byte-order mark, or UTF-8.
  void PutEncodedText(std::string_view text, bool terminator) {
    Put8(out_, Encoding());
    PutEncodedString(text, terminator);
  }
  void PutEncodedString(std::string_view text, bool terminator) {
    if (layout_.version == 4) {
      PutText(out_, text);
      if (terminator) Put8(out_, 0);
    } else {
      Put8(out_, 0xFF);
      Put8(out_, 0xFE);
      PutUtf16Le(out_, text);
      if (terminator) PutLe16(out_, 0);
    }
  }

  size_t BeginFrame(const char* id) {
    const size_t at = out_.size();
    PutText(out_, std::string_view(id, 4));
    PutZeros(out_, 6);
    return at;
  }
  void EndFrame(size_t at) {
    const uint32_t size = Size32(out_.size() - at - 10);
    PatchBe32(out_, at + 4, layout_.version == 4 ? SyncSafe(size) : size);
  }

  std::vector<uint8_t>& out_;
  const Id3Layout& layout_;
  size_t start_;
};

std::string TrackText(const TagFields& tags) {
  if (tags.track <= 0) return {};
  std::string s = std::to_string(tags.track);
  if (tags.trackTotal > 0) {
    s += '/';
    s += std::to_string(tags.trackTotal);
  }
  return s;
}

void AppendId3v2(std::vector<uint8_t>& out, const TagFields& tags, const Id3Layout& layout,
                 const Noise& noise, uint64_t key) {
  Id3Writer w(out, layout);
  if (layout.coverBytes > 0 && layout.coverFirst) w.Picture(layout.coverBytes, noise, key ^ 0xC0);
  w.Text("TIT2", tags.title, false);
  w.Text("TPE1", tags.artist, false);
  w.Text("TALB", tags.album, false);
  w.Text("TRCK", TrackText(tags), true);
  if (tags.disc > 0) {
    std::string disc = std::to_string(tags.disc);
    disc += '/';
    disc += std::to_string(tags.disc);
    w.Text("TPOS", disc, true);
  }
  w.Text(layout.version == 4 ? "TDRC" : "TYER", tags.year, true);
  w.Text("TCON", tags.genre, false);
  w.Text("TPE2", tags.albumArtist, false);
  if (!tags.comment.empty()) w.Comment(tags.comment);
  if (layout.mediaPlayerFrames) {
    uint8_t guid[16];
    const std::span<const uint8_t> bytes = noise.Slice(key ^ 0x9D, 16);
    std::copy(bytes.begin(), bytes.end(), guid);
    w.Private("WM/MediaClassPrimaryID", guid);
    w.Private("WM/WMCollectionID", guid);
    w.UserText("replaygain_track_gain", "-6.48 dB");
  } else {
    w.Text("TSSE", "LAME 64bits version 3.100 (http://lame.sf.net)", false);
  }
  if (layout.coverBytes > 0 && !layout.coverFirst) w.Picture(layout.coverBytes, noise, key ^ 0xC0);
  w.Finish();
}

// ID3v1: the last 128 bytes, 8-bit text in the tagger's code page, cut to 30 bytes.
void AppendId3v1(std::vector<uint8_t>& out, const TagFields& tags) {
  const auto field = [&](std::string_view utf8, size_t width) {
    std::string s = ToCp1252(utf8);
    s.resize(width, '\0');
    PutText(out, s);
  };
  PutText(out, "TAG");
  field(tags.title, 30);
  field(tags.artist, 30);
  field(tags.album, 30);
  field(tags.year, 4);
  field(tags.comment, 28);
  Put8(out, 0);
  Put8(out, static_cast<uint32_t>(std::clamp(tags.track, 0, 255)));
  Put8(out, static_cast<uint32_t>(tags.genreByte));
}

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417-byte frames. The first frame is an
// encoder's "Info" frame, as LAME writes it.
void AppendMpegAudio(std::vector<uint8_t>& out, uint32_t bytes, const Noise& noise, uint64_t key) {
  constexpr uint32_t kFrame = 417;
  const uint32_t frames = std::max<uint32_t>(2, bytes / kFrame);
  const size_t first = out.size();
  PutBe32(out, 0xFFFB9064);
  PutZeros(out, 32);  // side information of an empty frame
  PutText(out, "Info");
  PutBe32(out, 0x0F);  // frames, bytes, TOC and quality present
  PutBe32(out, frames);
  PutBe32(out, frames * kFrame);
  for (uint32_t i = 0; i < 100; ++i) Put8(out, i * 256 / 100);
  PutBe32(out, 57);
  PutText(out, "LAME3.100");
  PutZeros(out, kFrame - (out.size() - first));
  const std::span<const uint8_t> body = noise.Slice(key, (frames - 1) * (kFrame - 4));
  for (uint32_t i = 0; i + 1 < frames; ++i) {
    PutBe32(out, 0xFFFB9064);
    PutBytes(out, body.subspan(i * (kFrame - 4), kFrame - 4));
  }
}

// ADTS frames (ISO 14496-3 1.A.2): AAC LC, 44.1 kHz, stereo, no CRC.
void AppendAdtsFrames(std::vector<uint8_t>& out, uint32_t bytes, const Noise& noise, uint64_t key) {
  constexpr uint32_t kFrame = 371;
  const uint32_t frames = std::max<uint32_t>(2, bytes / kFrame);
  const std::span<const uint8_t> body = noise.Slice(key, frames * (kFrame - 7));
  for (uint32_t i = 0; i < frames; ++i) {
    Put8(out, 0xFF);
    Put8(out, 0xF1);
    Put8(out, 0x50);                   // profile LC, 44.1 kHz, channel configuration high bit 0
    Put8(out, 0x80 | (kFrame >> 11));  // channel configuration 2, frame length bits 12-11
    Put8(out, (kFrame >> 3) & 0xFF);
    Put8(out, ((kFrame & 7) << 5) | 0x1F);  // buffer fullness 0x7FF: variable rate
    Put8(out, 0xFC);
    PutBytes(out, body.subspan(i * (kFrame - 7), kFrame - 7));
  }
}

// MP4 atoms (ISO 14496-12) with their size patched when the atom is closed.
class AtomWriter {
 public:
  explicit AtomWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Begin(std::string_view type) {
    open_.push_back(out_.size());
    PutBe32(out_, 0);
    PutText(out_, type);
  }
  void FullBegin(std::string_view type, uint32_t versionAndFlags) {
    Begin(type);
    PutBe32(out_, versionAndFlags);
  }
  void End() {
    const size_t at = open_.back();
    open_.pop_back();
    PatchBe32(out_, at, Size32(out_.size() - at));
  }
  std::vector<uint8_t>& out() { return out_; }

 private:
  std::vector<uint8_t>& out_;
  std::vector<size_t> open_;
};

void PutMatrix(std::vector<uint8_t>& out) {
  const uint32_t m[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
  for (uint32_t v : m) PutBe32(out, v);
}

void PutTextItem(AtomWriter& a, std::string_view type, std::string_view text) {
  if (text.empty()) return;
  a.Begin(type);
  a.Begin("data");
  PutBe32(a.out(), 1);  // UTF-8
  PutBe32(a.out(), 0);
  PutText(a.out(), text);
  a.End();
  a.End();
}

void PutCoverItem(AtomWriter& a, uint32_t size, const Noise& noise, uint64_t key) {
  a.Begin("covr");
  a.Begin("data");
  PutBe32(a.out(), 13);  // JPEG
  PutBe32(a.out(), 0);
  AppendJpeg(a.out(), size, noise, key);
  a.End();
  a.End();
}

// The moov atom; returns the offset inside `out` of the one chunk offset that points into mdat.
size_t AppendMoov(AtomWriter& a, const TagFields& tags, const Mp4Layout& layout, uint32_t samples,
                  uint32_t sampleSize, const Noise& noise, uint64_t key) {
  std::vector<uint8_t>& out = a.out();
  const uint32_t durationMs = samples * 1024 / 44100 * 1000 + 23;
  a.Begin("moov");
  a.FullBegin("mvhd", 0);
  PutBe32(out, 0);
  PutBe32(out, 0);
  PutBe32(out, 1000);
  PutBe32(out, durationMs);
  PutBe32(out, 0x00010000);
  PutBe16(out, 0x0100);
  PutZeros(out, 10);
  PutMatrix(out);
  PutZeros(out, 24);
  PutBe32(out, 2);
  a.End();
  a.Begin("trak");
  a.FullBegin("tkhd", 7);
  PutBe32(out, 0);
  PutBe32(out, 0);
  PutBe32(out, 1);
  PutBe32(out, 0);
  PutBe32(out, durationMs);
  PutZeros(out, 8);
  PutBe16(out, 0);
  PutBe16(out, 1);
  PutBe16(out, 0x0100);
  PutBe16(out, 0);
  PutMatrix(out);
  PutBe32(out, 0);
  PutBe32(out, 0);
  a.End();
  a.Begin("mdia");
  a.FullBegin("mdhd", 0);
  PutBe32(out, 0);
  PutBe32(out, 0);
  PutBe32(out, 44100);
  PutBe32(out, samples * 1024);
  PutBe16(out, 0x55C4);  // "und"
  PutBe16(out, 0);
  a.End();
  a.FullBegin("hdlr", 0);
  PutBe32(out, 0);
  PutText(out, "soun");
  PutZeros(out, 12);
  PutText(out, std::string_view("SoundHandler\0", 13));
  a.End();
  a.Begin("minf");
  a.FullBegin("smhd", 0);
  PutBe32(out, 0);
  a.End();
  a.Begin("dinf");
  a.FullBegin("dref", 0);
  PutBe32(out, 1);
  a.FullBegin("url ", 1);
  a.End();
  a.End();
  a.End();
  a.Begin("stbl");
  a.FullBegin("stsd", 0);
  PutBe32(out, 1);
  a.Begin("mp4a");
  PutZeros(out, 6);
  PutBe16(out, 1);
  PutZeros(out, 8);
  PutBe16(out, 2);
  PutBe16(out, 16);
  PutBe32(out, 0);
  PutBe32(out, 44100u << 16);
  a.FullBegin("esds", 0);
  const uint8_t esds[] = {0x03, 0x19, 0x00, 0x01, 0x00, 0x04, 0x11, 0x40, 0x15,
                          0x00, 0x03, 0x00, 0x00, 0x01, 0xF4, 0x00, 0x00, 0x01,
                          0xF4, 0x00, 0x05, 0x02, 0x12, 0x10, 0x06, 0x01, 0x02};
  PutBytes(out, esds);
  a.End();
  a.End();
  a.End();
  a.FullBegin("stts", 0);
  PutBe32(out, 1);
  PutBe32(out, samples);
  PutBe32(out, 1024);
  a.End();
  a.FullBegin("stsc", 0);
  PutBe32(out, 1);
  PutBe32(out, 1);
  PutBe32(out, samples);
  PutBe32(out, 1);
  a.End();
  a.FullBegin("stsz", 0);
  PutBe32(out, 0);
  PutBe32(out, samples);
  for (uint32_t i = 0; i < samples; ++i) PutBe32(out, sampleSize);
  a.End();
  a.FullBegin("stco", 0);
  PutBe32(out, 1);
  const size_t chunkOffsetAt = out.size();
  PutBe32(out, 0);
  a.End();
  a.End();  // stbl
  a.End();  // minf
  a.End();  // mdia
  a.End();  // trak
  a.Begin("udta");
  a.FullBegin("meta", 0);
  a.FullBegin("hdlr", 0);
  PutBe32(out, 0);
  PutText(out, "mdir");
  PutText(out, "appl");
  PutZeros(out, 9);
  a.End();
  a.Begin("ilst");
  if (layout.coverBytes > 0 && layout.coverInMiddle)
    PutCoverItem(a, layout.coverBytes, noise, key ^ 0xC0);
  PutTextItem(a, "\xA9nam", tags.title);
  PutTextItem(a,
              "\xA9"
              "ART",
              tags.artist);
  PutTextItem(a, "aART", tags.albumArtist);
  PutTextItem(a,
              "\xA9"
              "alb",
              tags.album);
  if (layout.numericGenre && tags.genreByte < 255) {
    a.Begin("gnre");
    a.Begin("data");
    PutBe32(out, 0);
    PutBe32(out, 0);
    PutBe16(out, static_cast<uint32_t>(tags.genreByte + 1));
    a.End();
    a.End();
  } else {
    PutTextItem(a, "\xA9gen", tags.genre);
  }
  if (tags.track > 0) {
    a.Begin("trkn");
    a.Begin("data");
    PutBe32(out, 0);
    PutBe32(out, 0);
    PutBe16(out, 0);
    PutBe16(out, static_cast<uint32_t>(tags.track));
    PutBe16(out, static_cast<uint32_t>(tags.trackTotal));
    PutBe16(out, 0);
    a.End();
    a.End();
  }
  if (tags.disc > 0) {
    a.Begin("disk");
    a.Begin("data");
    PutBe32(out, 0);
    PutBe32(out, 0);
    PutBe16(out, 0);
    PutBe16(out, static_cast<uint32_t>(tags.disc));
    PutBe16(out, static_cast<uint32_t>(tags.disc));
    a.End();
    a.End();
  }
  PutTextItem(a,
              "\xA9"
              "day",
              tags.year);
  PutTextItem(a, "\xA9too", "Lavf59.27.100");
  if (layout.coverBytes > 0 && !layout.coverInMiddle)
    PutCoverItem(a, layout.coverBytes, noise, key ^ 0xC0);
  a.End();  // ilst
  a.End();  // meta
  a.End();  // udta
  a.End();  // moov
  return chunkOffsetAt;
}

// RIFF INFO text: Windows-1252 where it fits, else the UTF-8 bytes as some encoders copy them.
void PutInfoItem(std::vector<uint8_t>& out, std::string_view id, std::string_view utf8) {
  if (utf8.empty()) return;
  const std::string bytes = FitsCp1252(utf8) ? ToCp1252(utf8) : std::string(utf8);
  PutText(out, id);
  PutLe32(out, Size32(bytes.size() + 1));
  PutText(out, bytes);
  Put8(out, 0);
  if ((bytes.size() + 1) % 2 != 0) Put8(out, 0);  // items are word-aligned
}

void AppendInfoList(std::vector<uint8_t>& out, const TagFields& tags) {
  PutText(out, "LIST");
  const size_t sizeAt = out.size();
  PutLe32(out, 0);
  PutText(out, "INFO");
  PutInfoItem(out, "INAM", tags.title);
  PutInfoItem(out, "IART", tags.artist);
  PutInfoItem(out, "IPRD", tags.album);
  PutInfoItem(out, "IGNR", tags.genre);
  PutInfoItem(out, "ICRD", tags.year);
  PutInfoItem(out, "ITRK", tags.track > 0 ? std::to_string(tags.track) : std::string());
  PutInfoItem(out, "ISFT", "Lavf59.27.100");
  PatchLe32(out, sizeAt, Size32(out.size() - sizeAt - 4));
}

}  // namespace

Noise::Noise(uint64_t seed) : bytes_(kSize) {
  Rng rng(seed);
  for (size_t i = 0; i < kSize; i += 8) {
    const uint64_t v = rng.Next();
    std::memcpy(&bytes_[i], &v, 8);
  }
}

std::span<const uint8_t> Noise::Slice(uint64_t key, size_t size) const {
  size = std::min(size, kSize);
  const size_t room = kSize - size + 1;
  return std::span<const uint8_t>(bytes_).subspan(static_cast<size_t>(Mix64(key) % room), size);
}

void AppendJpeg(std::vector<uint8_t>& out, uint32_t size, const Noise& noise, uint64_t key) {
  const uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                          0x00, 0x01, 0x01, 0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00};
  size = std::max<uint32_t>(size, 32);
  PutBytes(out, head);
  PutBytes(out, noise.Slice(key, size - sizeof(head) - 2));
  Put8(out, 0xFF);
  Put8(out, 0xD9);
}

void AppendFiller(std::vector<uint8_t>& out, uint32_t size, const Noise& noise, uint64_t key) {
  PutBytes(out, noise.Slice(key, size));
}

void AppendMp3(std::vector<uint8_t>& out, const TagFields& tags, const Mp3Layout& layout,
               const Noise& noise, uint64_t key) {
  if (layout.id3v2) AppendId3v2(out, tags, layout.id3, noise, key);
  AppendMpegAudio(out, layout.audioBytes, noise, key);
  if (layout.id3v1) AppendId3v1(out, tags);
}

void AppendAdtsAac(std::vector<uint8_t>& out, const TagFields& tags, const Mp3Layout& layout,
                   const Noise& noise, uint64_t key) {
  if (layout.id3v2) AppendId3v2(out, tags, layout.id3, noise, key);
  AppendAdtsFrames(out, layout.audioBytes, noise, key);
  if (layout.id3v1) AppendId3v1(out, tags);
}

void AppendMp4(std::vector<uint8_t>& out, const TagFields& tags, const Mp4Layout& layout,
               const Noise& noise, uint64_t key) {
  constexpr uint32_t kSample = 372;
  const uint32_t samples = std::max<uint32_t>(2, layout.audioBytes / kSample);
  const size_t start = out.size();
  AtomWriter a(out);
  a.Begin("ftyp");
  if (layout.mp4Brand) {
    PutText(out, "mp42");
    PutBe32(out, 0);
    PutText(out, "mp42isom");
  } else {
    PutText(out, "M4A ");
    PutBe32(out, 0x200);
    PutText(out, "M4A mp42isom");
    PutZeros(out, 4);
  }
  a.End();
  size_t chunkOffsetAt = 0;
  if (!layout.moovLast) {
    chunkOffsetAt = AppendMoov(a, tags, layout, samples, kSample, noise, key);
    if (layout.freeBytes > 0) {
      a.Begin("free");
      PutZeros(out, layout.freeBytes);
      a.End();
    }
  } else {
    a.Begin("free");
    a.End();
  }
  a.Begin("mdat");
  const uint32_t mdatData = Size32(out.size() - start);
  PutBytes(out, noise.Slice(key, samples * kSample));
  a.End();
  if (layout.moovLast) chunkOffsetAt = AppendMoov(a, tags, layout, samples, kSample, noise, key);
  PatchBe32(out, chunkOffsetAt, mdatData);
}

void AppendWav(std::vector<uint8_t>& out, const TagFields& tags, const WavLayout& layout,
               const Noise& noise, uint64_t key) {
  const size_t start = out.size();
  PutText(out, "RIFF");
  PutLe32(out, 0);
  PutText(out, "WAVE");
  PutText(out, "fmt ");
  PutLe32(out, 16);
  PutLe16(out, 1);  // PCM
  PutLe16(out, 2);
  PutLe32(out, 44100);
  PutLe32(out, 44100 * 4);
  PutLe16(out, 4);
  PutLe16(out, 16);
  if (layout.listFirst) AppendInfoList(out, tags);
  const uint32_t dataBytes = std::max<uint32_t>(4, layout.audioBytes & ~3u);
  PutText(out, "data");
  PutLe32(out, dataBytes);
  PutBytes(out, noise.Slice(key, dataBytes));
  if (!layout.listFirst) AppendInfoList(out, tags);
  if (layout.id3Chunk) {
    PutText(out, "id3 ");
    const size_t sizeAt = out.size();
    PutLe32(out, 0);
    Id3Layout id3;
    id3.version = 3;
    AppendId3v2(out, tags, id3, noise, key);
    const uint32_t chunk = Size32(out.size() - sizeAt - 4);
    PatchLe32(out, sizeAt, chunk);
    if (chunk % 2 != 0) Put8(out, 0);
  }
  PatchLe32(out, start + 4, Size32(out.size() - start - 8));
}

}  // namespace deltrix::bench
