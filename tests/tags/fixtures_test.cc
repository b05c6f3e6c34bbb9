// The real files made by tagging programs (tests/tags/data, one folder per theme): each must give
// the record that the reading rules give for it. The expected records were worked out from the
// files' bytes (see data/README.md for what each file holds and which tag languages it is meant
// for); a file is read at E:\<folder>\<name>.
#include <gtest/gtest.h>

#include <string>

#include "base/utf16.h"
#include "platform/posix/iconv_text_codec.h"
#include "tag_test_util.h"
#include "tags/read_track_file.h"

namespace deltrix::testing {
namespace {

using tags::FileType;

struct Expected {
  const char* file;  // below the data folder
  int tagLanguage;
  int result;
  int32_t fileSize = 0;
  int16_t trackNumber = 0;
  FileType fileType = FileType::None;
  const char16_t* genre = nullptr;
  const char16_t* artist = nullptr;
  const char16_t* album = nullptr;
  const char16_t* title = nullptr;
  // The title's last unit is what the code-page converter makes of a byte sequence that is invalid
  // in the code page (a lone lead byte at the end): any single unit.
  bool lastTitleUnitIsTheConverters = false;
};

const Expected kExpected[] = {
    {"aac/ffmpeg_adts_id3.aac", 3, 1, 1034, 8, FileType::Aac, u"Electronic", u"ADTS Artist", u"Alb",
     u"ADTS Title"},
    {"aac/id3lib_both.AAC", 3, 1, 2176, 5, FileType::Aac, u"", u"", u"", u"Id3lib AAC"},
    {"aac/mutagen_id3_v24_utf8.aac", 3, 1, 977, -1, FileType::Aac, u"Electronic", u"", u"",
     u"Mutagen AAC \x00FC"},
    {"aiff/ffmpeg_id3_chunk.aiff", 3, 1, 1736, -1, FileType::Aiff, u"", u"", u"",
     u"ffmpeg_id3_chunk.aiff"},
    {"aiff/ffmpeg_plain.Aiff", 3, 1, 1654, -1, FileType::Aiff, u"", u"", u"", u"ffmpeg_plain.Aiff"},
    {"aiff/mutagen_id3_chunk.aif", 3, 1, 1696, -1, FileType::Aiff, u"", u"", u"",
     u"mutagen_id3_chunk.aif"},
    {"ext/case_Aac.Aac", 3, 1, 964, -1, FileType::Aac, u"", u"", u"", u"Ext Aac"},
    {"ext/case_MP3.MP3", 3, 1, 615, -1, FileType::Mp3, u"", u"", u"", u"Ext MP3"},
    {"ext/case_Mp3.Mp3", 3, 1, 615, -1, FileType::Mp3, u"", u"", u"", u"Ext Mp3"},
    {"ext/case_WAV.WAV", 3, 1, 872, -1, FileType::Wav, u"", u"", u"", u"Ext WAV"},
    {"ext/case_aIf.aIf", 3, 1, 1654, -1, FileType::Aiff, u"", u"", u"", u"case_aIf.aIf"},
    {"ext/case_m4A.m4A", 3, 1, 1717, -1, FileType::M4a, u"", u"", u"", u"Ext m4A"},
    {"ext/decoy.aifc", 3, 0},
    {"ext/decoy.m4p", 3, 0},
    {"ext/decoy.ogg", 3, 0},
    {"ext/decoyAIFF", 3, 0},
    {"id3v1/v1_30_byte_fields.mp3", 3, 1, 704, 0, FileType::Mp3, u"",
     u"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", u"BBBBBBBBBBBBBBBBBBBBBBBBBBBBBB",
     u"TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT"},
    {"id3v1/v1_cp1252.mp3", 3, 1, 704, 0, FileType::Mp3, u"Pop", u"", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
    {"id3v1/v1_eyed3_v11.mp3", 3, 1, 704, 9, FileType::Mp3, u"Rock", u"Art", u"Alb", u"EyeD3 v1"},
    {"id3v1/v1_ffmpeg_utf8_bytes.mp3", 3, 1, 704, 4, FileType::Mp3, u"Jazz",
     u"\x00C3\x0153n\x00C3\x00AF"
     u"c\x00C3\x00B6"
     u"d\x00C3\x00A9",
     u"Alb",
     u"Gr\x00C3\x00BC\x00C3\x0178"
     u"e aus K\x00C3\x00B6ln"},
    {"id3v1/v1_gbk.mp3", 3, 1, 704, 0, FileType::Mp3, u"Pop", u"\x00B8\x00E8\x00CA\x00D6", u"",
     u"\x00D6\x00D0\x00CE\x00C4\x00B8\x00E8\x00C7\x00FA\x00B1\x00EA\x00CC\x00E2"},
    {"id3v1/v1_genre_017.mp3", 3, 1, 704, 0, FileType::Mp3, u"Rock", u"", u"", u"Genre 17"},
    {"id3v1/v1_genre_080.mp3", 3, 1, 704, 0, FileType::Mp3, u"Folk", u"", u"", u"Genre 80"},
    {"id3v1/v1_genre_127.mp3", 3, 1, 704, 0, FileType::Mp3, u"Dram & Bass", u"", u"", u"Genre 127"},
    {"id3v1/v1_genre_147.mp3", 3, 1, 704, 0, FileType::Mp3, u"Synthpop", u"", u"", u"Genre 147"},
    {"id3v1/v1_genre_200.mp3", 3, 1, 704, 0, FileType::Mp3, u"", u"", u"", u"Genre 200"},
    {"id3v1/v1_no_track_long_comment.mp3", 3, 1, 704, -1, FileType::Mp3, u"Rock", u"", u"",
     u"No Track"},
    {"id3v1/v1_on_aac.aac", 3, 1, 1053, 2, FileType::Aac, u"", u"", u"", u"AAC v1"},
    {"id3v1/v1_on_m4a_moov_last.m4a", 3, 1, 1814, 0, FileType::M4a, u"", u"", u"", u"M4A v1"},
    {"id3v1/v1_sjis.mp3", 3, 1, 704, 0, FileType::Mp3, u"Pop",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O",
     u"\x201C\x00FA\x2013{\x0152\x00EA\x201A\x00CC\x0192^\x0192"
     u"C\x0192g\x0192\x2039"},
    {"id3v1/v1_sjis_cut_lead_byte.mp3", 3, 1, 704, 0, FileType::Mp3, u"Pop", u"", u"",
     u"\x201A\x00A0\x201A\x00A2\x201A\x00EB\x201A\x00CD\x201A\x00C9\x201A\x00D9\x201A\x00D6\x201A"
     u"\x00C6\x201A\x00BF\x201A\x00E8\x201A\x00CA\x201A\x00E9\x201A\x00F0\x201A"},
    {"id3v1/v1_trailing_spaces.mp3", 3, 1, 704, 0, FileType::Mp3, u"", u"", u"", u"Word"},
    {"id3v2/eyed3_ext_header_v23.mp3", 3, 1, 1013, 8, FileType::Mp3, u"Pop", u"Ext Artist",
     u"Ext Album", u"Extended header title"},
    {"id3v2/eyed3_ext_header_v24.mp3", 3, 1, 951, 8, FileType::Mp3, u"Pop", u"Ext Artist",
     u"Ext Album", u"Extended header title"},
    {"id3v2/eyed3_v23_latin1.mp3", 3, 1, 939, 3, FileType::Mp3, u"Jazz", u"Eye Artist",
     u"Eye Album", u"EyeD3 latin1 \x00E9"},
    {"id3v2/eyed3_v24_latin1.mp3", 3, 1, 939, 3, FileType::Mp3, u"Jazz", u"Eye Artist",
     u"Eye Album", u"EyeD3 latin1 \x00E9"},
    {"id3v2/eyed3_v24_utf16be.mp3", 3, 1, 983, 0, FileType::Mp3, u"\x4A00\x6100\x7A00\x7A00",
     u"\x4500\x7900\x6500\x2000\x4100\x7200\x7400\x6900\x7300\x7400",
     u"\x4500\x7900\x6500\x2000\x4100\x6C00\x6200\x7500\x6D00",
     u"\x4500\x7900\x6500\x4400\x3300\x2000\x7500\x7400\x6600\x3100\x3600\x6200\x6500\x2000\x1327"},
    {"id3v2/ffmpeg_v23_ascii.mp3", 3, 1, 690, 6, FileType::Mp3, u"Blues", u"FF Artist", u"FF Album",
     u"FF Title"},
    {"id3v2/ffmpeg_v23_with_v1.mp3", 3, 1, 780, 2, FileType::Mp3, u"", u"Both", u"",
     u"Both tags title"},
    {"id3v2/ffmpeg_v24_unicode.mp3", 3, 1, 663, -1, FileType::Mp3, u"", u"\x00C6r\x00F8", u"",
     u"\x00DCn\x00EF"
     u"code \x2713 \x65E5\x672C\x8A9E\x306E\x30BF\x30A4\x30C8\x30EB"},
    {"id3v2/hand_body_beyond_file.mp3", 3, 0},
    {"id3v2/hand_ext_header_beyond_body.mp3", 3, 1, 604, -1, FileType::Mp3, u"", u"", u"",
     u"hand_ext_header_beyond_body.mp3"},
    {"id3v2/hand_frame_size_past_body.mp3", 3, 1, 627, -1, FileType::Mp3, u"", u"", u"",
     u"Kept title"},
    {"id3v2/hand_unsync_v23_latin1.mp3", 3, 1, 625, -1, FileType::Mp3, u"", u"", u"",
     u"A\x00FF\x00C9 end \x00FF"},
    {"id3v2/hand_v22.mp3", 3, 1, 749, 11, FileType::Mp3, u"Jazz", u"V22 \x00C4rtist", u"V22 Album",
     u"V22 Title"},
    {"id3v2/hand_v23_compressed_frame.mp3", 3, 1, 646, -1, FileType::Mp3, u"", u"Next", u"",
     u"Zip"},
    {"id3v2/hand_v23_enc1_bom_fe_ff.mp3", 3, 1, 660, -1, FileType::Mp3, u"", u"\x00C4rtist", u"",
     u"Big-endian BOM \x2713"},
    {"id3v2/hand_v23_enc5.mp3", 3, 1, 626, -1, FileType::Mp3, u"", u"", u"", u"\x0005Weird"},
    {"id3v2/hand_v24_data_length_flag.mp3", 3, 1, 626, -1, FileType::Mp3, u"", u"", u"",
     u"hand_v24_data_length_flag.mp3"},
    {"id3v2/hand_v24_footer_m4a.m4a", 3, 0},
    {"id3v2/hand_version_2_1.mp3", 3, 1, 609, -1, FileType::Mp3, u"", u"", u"",
     u"hand_version_2_1.mp3"},
    {"id3v2/hand_version_3_1.mp3", 3, 1, 609, -1, FileType::Mp3, u"", u"", u"", u"Version 3.1"},
    {"id3v2/id3lib_v23_both_tags.mp3", 3, 1, 2176, 4, FileType::Mp3, u"Metal", u"Id3lib Artist",
     u"Id3lib Album", u"Id3lib Title"},
    {"id3v2/id3lib_v23_enc0_cp1252.mp3", 3, 1, 2048, -1, FileType::Mp3, u"", u"Art", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
    {"id3v2/id3lib_v23_enc0_sjis.mp3", 3, 1, 2048, -1, FileType::Mp3, u"",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O", u"",
     u"\x201C\x00FA\x2013{\x0152\x00EA\x201A\x00CC\x0192^\x0192"
     u"C\x0192g\x0192\x2039"},
    {"id3v2/mutagen_v23_enc0_sjis_bytes.mp3", 3, 1, 656, -1, FileType::Mp3, u"", u"",
     u"\x201C\x0152\x2039\x017E\x201C\x00C1\x2039\x2013\x2039\x2013\x2030\x00C2\x2039\x00C7\x2019"
     u"\x00B7\x008D\x00A1\x201C\x00FA\x2039}\x00E7\x00AF\x2039x\x2030\x00C9\x2039\x2013",
     u"\x201C\x00FA\x2013{\x0152\x00EA\x201A\x00CC\x0192^\x0192"
     u"C\x0192g\x0192\x2039"},
    {"id3v2/mutagen_v23_enc2.mp3", 3, 1, 733, 5, FileType::Mp3, u"Pop", u"Artist 2", u"Album 3",
     u"Big endian \x00C4\x00D6\x00DC"},
    {"id3v2/mutagen_v23_multi_value.mp3", 3, 1, 631, -1, FileType::Mp3, u"Rock/Pop", u"A1/A2", u"",
     u"mutagen_v23_multi_value.mp3"},
    {"id3v2/mutagen_v23_padding_1.mp3", 3, 1, 631, 1, FileType::Mp3, u"", u"", u"", u"Padded 1"},
    {"id3v2/mutagen_v23_padding_4000.mp3", 3, 1, 4636, 1, FileType::Mp3, u"", u"", u"",
     u"Padded 4000"},
    {"id3v2/mutagen_v23_txxx_and_others.mp3", 3, 1, 946, -1, FileType::Mp3, u"", u"", u"",
     u"Real title"},
    {"id3v2/mutagen_v24_enc1.mp3", 3, 1, 735, 5, FileType::Mp3, u"Pop", u"Artist 1", u"Album 4",
     u"\x0395\x03BB\x03BB\x03B7\x03BD\x03B9\x03BA\x03AC UTF-16"},
    {"id3v2/mutagen_v24_enc3.mp3", 3, 1, 692, 5, FileType::Mp3, u"Pop", u"Artist 3", u"Album 4",
     u"UTF-8 \x00FCn\x00EF"
     u"c\x00F6"
     u"d\x00E9 \x65E5\x672C"},
    {"id3v2/mutagen_v24_last_frame_long_no_padding.mp3", 3, 1, 971, -1, FileType::Mp3, u"",
     u"yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy",
     u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz",
     u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
    {"id3v2/taglib_v24_latin1.mp3", 3, 1, 1778, 0, FileType::Mp3, u"", u"",
     u"\x00C7"
     u"a va",
     u"Plain TagLib"},
    {"id3v2/v24_frame_200_bytes_eyed3.mp3", 3, 1, 1088, -1, FileType::Mp3, u"", u"After long",
     u"Alb", u"T000 001 002 003 004 005 006 007 008 009 010 011 012 013 014 01"},
    {"id3v2/v24_frame_200_bytes_mutagen.mp3", 3, 1, 1859, -1, FileType::Mp3, u"", u"After long",
     u"Alb", u"T000 001 002 003 004 005 006 007 008 009 010 011 012 013 014 01"},
    {"misc/129_bytes_tag.mp3", 3, 1, 129, 0, FileType::Mp3, u"", u"", u"", u"Read"},
    {"misc/empty.mp3", 3, 1, 0, -1, FileType::Mp3, u"", u"", u"", u"empty.mp3"},
    {"misc/exactly_128_tag.mp3", 3, 1, 128, -1, FileType::Mp3, u"", u"", u"",
     u"exactly_128_tag.mp3"},
    {"misc/only_id3v2_tag.mp3", 3, 1, 30, -1, FileType::Mp3, u"", u"", u"", u"Tag only"},
    {"mp4/atomicparsley_custom_genre.m4a", 3, 1, 1758, -1, FileType::M4a, u"Chiptune Fusion", u"",
     u"", u"AP Custom"},
    {"mp4/atomicparsley_paren_genre.m4a", 3, 1, 1746, -1, FileType::M4a, u"Rock", u"", u"",
     u"AP Paren"},
    {"mp4/atomicparsley_standard_genre.m4a", 3, 1, 1841, 4, FileType::M4a, u"", u"AP Artist",
     u"AP Album", u"AP Title"},
    {"mp4/ffmpeg_emoji.m4a", 3, 1, 1768, -1, FileType::M4a, u"",
     u"\x07CE\x8802"
     u"and",
     u"", u"Emoji \x07CE\x5834itle \x07D8\x0825nd"},
    {"mp4/ffmpeg_genre_paren.m4a", 3, 1, 1749, -1, FileType::M4a, u"Rock", u"", u"",
     u"Paren genre"},
    {"mp4/ffmpeg_moov_last.m4a", 3, 1, 1851, 3, FileType::M4a, u"Acoustic", u"FF Artist",
     u"FF Album", u"FF M4A Title"},
    {"mp4/ffmpeg_mp4_muxer.mp4", 3, 1, 1871, 3, FileType::Mp4, u"Acoustic", u"FF Artist",
     u"FF Album", u"FF M4A Title"},
    {"mp4/ffmpeg_track_only.m4a", 3, 1, 1718, 9, FileType::M4a, u"", u"", u"",
     u"ffmpeg_track_only.m4a"},
    {"mp4/hand_64bit_mdat_after_moov.m4a", 3, 1, 1851, 3, FileType::M4a, u"Acoustic", u"FF Artist",
     u"FF Album", u"FF M4A Title"},
    {"mp4/hand_meta_without_ilst.m4a", 3, 1, 1678, -1, FileType::M4a, u"", u"", u"",
     u"hand_meta_without_ilst.m4a"},
    {"mp4/hand_no_moov_with_v1.m4a", 3, 0},
    {"mp4/hand_truncated_mdat.m4a", 3, 1, 1551, 3, FileType::M4a, u"Acoustic", u"FF Artist",
     u"FF Album", u"FF M4A Title"},
    {"mp4/id3lib_damaged.m4a", 3, 0},
    {"mp4/mutagen_full.m4a", 3, 1, 3013, 4, FileType::M4a, u"Trance", u"Mutagen Artist",
     u"Mutagen Album", u"Mutagen Title"},
    {"mp4/mutagen_id3_front_id3lib_v1.m4a", 3, 1, 1900, 4, FileType::M4a, u"", u"Atom art",
     u"Id3v1 album", u"Id3v2 title"},
    {"mp4/mutagen_long_texts.m4a", 3, 1, 3067, -1, FileType::M4a, u"GGGGGGGGGGGGGGGGGGGGGGGGGGGGG",
     u"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
     u"BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB",
     u"NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN"},
    {"mp4/mutagen_on_mp4.mp4", 3, 1, 2802, 2, FileType::Mp4, u"", u"", u"", u"MP4 file"},
    {"mp4/mutagen_trkn_0_0.m4a", 3, 1, 2780, 0, FileType::M4a, u"", u"", u"", u"trkn 0"},
    {"mp4/mutagen_trkn_32768_1.m4a", 3, 1, 2784, -32768, FileType::M4a, u"", u"", u"",
     u"trkn 32768"},
    {"mp4/mutagen_trkn_5_12.m4a", 3, 1, 2780, 5, FileType::M4a, u"", u"", u"", u"trkn 5"},
    {"mp4/taglib.m4a", 3, 1, 2710, 7, FileType::M4a, u"Rock", u"TL", u"TL Album", u"TagLib M4A"},
    {"paths/deep/"
     "ddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
     "ddddddddddddddddddddddddddd/"
     "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
     "fffffff/xxxxxxxxxxxxxxxxx.mp3",
     3, 1, 576, -1, FileType::Mp3, u"", u"", u"", u"xxxxxxxxxxxxxxxxx.mp3"},
    {"paths/deep/"
     "ddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
     "ddddddddddddddddddddddddddd/"
     "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
     "fffffff/zzzzzzzzzzzzzzzz😀.mp3",
     3, 0},
    {"paths/emoji 🎵 name.m4a", 3, 1, 1721, -1, FileType::M4a, u"", u"Only artist", u"",
     u"emoji \xD83C\xDFB5 name.m4a"},
    {"paths/with spaces   .wav", 3, 1, 844, -1, FileType::Wav, u"", u"", u"",
     u"with spaces   .wav"},
    {"tcon/eyed3_genre_number_v23.mp3", 3, 1, 867, -1, FileType::Mp3, u"Trance", u"", u"",
     u"eyed3_genre_number_v23.mp3"},
    {"tcon/eyed3_genre_v23.mp3", 3, 1, 863, -1, FileType::Mp3, u"Rock", u"", u"",
     u"eyed3_genre_v23.mp3"},
    {"tcon/ffmpeg_genre_paren.mp3", 3, 1, 615, -1, FileType::Mp3, u"Disco,Rock", u"", u"",
     u"ffmpeg_genre_paren.mp3"},
    {"tcon/id3lib_genre_17.mp3", 3, 1, 2176, 0, FileType::Mp3, u"Rock", u"", u"", u"Id3lib genre"},
    {"tcon/mutagen_tcon_01.mp3", 3, 1, 627, -1, FileType::Mp3, u"Disco,Rock", u"", u"",
     u"Genre case"},
    {"tcon/mutagen_tcon_03.mp3", 3, 1, 624, -1, FileType::Mp3, u"Rock", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_05.mp3", 3, 1, 625, -1, FileType::Mp3, u"", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_07.mp3", 3, 1, 625, -1, FileType::Mp3, u"Rock", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_09.mp3", 3, 1, 625, -1, FileType::Mp3, u"", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_11.mp3", 3, 1, 629, -1, FileType::Mp3, u"Rock", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_13.mp3", 3, 1, 623, -1, FileType::Mp3, u"R&B", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_15.mp3", 3, 1, 625, -1, FileType::Mp3, u"Synthpop", u"", u"",
     u"Genre case"},
    {"tcon/mutagen_tcon_17.mp3", 3, 1, 623, -1, FileType::Mp3, u"", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_19.mp3", 3, 1, 632, -1, FileType::Mp3, u"Rock", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_21.mp3", 3, 1, 627, -1, FileType::Mp3, u"Rock,Disco", u"", u"",
     u"Genre case"},
    {"tcon/mutagen_tcon_23.mp3", 3, 1, 623, -1, FileType::Mp3, u"", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_25.mp3", 3, 1, 624, -1, FileType::Mp3, u"(RX)", u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_27.mp3", 3, 1, 644, -1, FileType::Mp3, u"Other,Pop,R&B,Rap,Reggae,Rock",
     u"", u"", u"Genre case"},
    {"tcon/mutagen_tcon_29.mp3", 3, 1, 654, -1, FileType::Mp3, u"Contemporary Christian Music", u"",
     u"", u"Genre case"},
    {"tcon/mutagen_tcon_31.mp3", 3, 1, 625, -1, FileType::Mp3, u"Classic Rock,Hip-Hop", u"", u"",
     u"Genre case"},
    {"tcon/mutagen_tcon_utf16_00.mp3", 3, 1, 609, -1, FileType::Mp3, u"Rock", u"", u"",
     u"mutagen_tcon_utf16_00.mp3"},
    {"tcon/mutagen_tcon_utf16_02.mp3", 3, 1, 607, -1, FileType::Mp3, u"Rock", u"", u"",
     u"mutagen_tcon_utf16_02.mp3"},
    {"text/eyed3_spaces_and_tab.mp3", 3, 1, 892, -1, FileType::Mp3, u"", u"\x0009Tab\x0009", u"",
     u"Word"},
    {"text/ffmpeg_m4a_trailing_spaces.m4a", 3, 1, 1746, -1, FileType::M4a, u"", u"", u"",
     u"Spaced"},
    {"text/mutagen_artist_album_46.mp3", 3, 1, 751, -1, FileType::Mp3, u"",
     u"Artist46 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
     u"Album46 bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", u"mutagen_artist_album_46.mp3"},
    {"text/mutagen_artist_album_48.mp3", 3, 1, 757, -1, FileType::Mp3, u"",
     u"Artist48 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
     u"Album48 bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", u"mutagen_artist_album_48.mp3"},
    {"text/mutagen_emoji_utf16.mp3", 3, 1, 672, -1, FileType::Mp3, u"", u"\xD83C\xDFB8 Band", u"",
     u"Emoji \xD83C\xDFB5 title \xD83D\xDE00 end"},
    {"text/mutagen_genre_text_28.mp3", 3, 1, 626, -1, FileType::Mp3,
     u"Genre28 gggggggggggggggggggg", u"", u"", u"mutagen_genre_text_28.mp3"},
    {"text/mutagen_genre_text_30.mp3", 3, 1, 628, -1, FileType::Mp3,
     u"Genre30 ggggggggggggggggggggg", u"", u"", u"mutagen_genre_text_30.mp3"},
    {"text/mutagen_title_120.mp3", 3, 1, 841, -1, FileType::Mp3, u"", u"", u"",
     u"Title120-abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcd"},
    {"text/mutagen_title_62_plus_emoji.mp3", 3, 1, 729, -1, FileType::Mp3, u"", u"", u"",
     u"eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee\xD83D"},
    {"text/mutagen_title_64.mp3", 3, 1, 729, -1, FileType::Mp3, u"", u"", u"",
     u"Title64-abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcde"},
    {"text/mutagen_title_leading_spaces.mp3", 3, 1, 637, -1, FileType::Mp3, u"", u"", u"Album",
     u"  Lead"},
    {"text/mutagen_title_only_tab.mp3", 3, 1, 632, -1, FileType::Mp3, u"", u"", u"Album",
     u"\x0009"},
    {"text/mutagen_title_trailing_ideographic_space.mp3", 3, 1, 650, -1, FileType::Mp3, u"", u"",
     u"Album", u"\x5168\x89D2\x3000"},
    {"text/mutagen_title_trailing_spaces.mp3", 3, 1, 638, -1, FileType::Mp3, u"", u"", u"Album",
     u"Word"},
    {"text/mutagen_title_trailing_tab.mp3", 3, 1, 636, -1, FileType::Mp3, u"", u"", u"Album",
     u"Word\x0009"},
    {"text/spaces_v2_over_v1.mp3", 3, 1, 729, 0, FileType::Mp3, u"Other", u"", u"",
     u"spaces_v2_over_v1.mp3"},
    {"trck/eyed3_track_total.mp3", 3, 1, 858, 7, FileType::Mp3, u"", u"", u"",
     u"eyed3_track_total.mp3"},
    {"trck/hand_v22_trk.mp3", 3, 1, 661, 9, FileType::Mp3, u"", u"", u"", u"hand_v22_trk.mp3"},
    {"trck/mutagen_trck_00.mp3", 3, 1, 620, 7, FileType::Mp3, u"", u"", u"", u"Track '7'"},
    {"trck/mutagen_trck_02.mp3", 3, 1, 622, 3, FileType::Mp3, u"", u"", u"", u"Track ' 3'"},
    {"trck/mutagen_trck_04.mp3", 3, 1, 622, -2, FileType::Mp3, u"", u"", u"", u"Track '-2'"},
    {"trck/mutagen_trck_07.mp3", 3, 1, 622, 3, FileType::Mp3, u"", u"", u"", u"Track '3/'"},
    {"trck/mutagen_trck_09.mp3", 3, 1, 620, 0, FileType::Mp3, u"", u"", u"", u"Track '0'"},
    {"trck/mutagen_trck_11.mp3", 3, 1, 628, -32768, FileType::Mp3, u"", u"", u"", u"Track '32768'"},
    {"trck/mutagen_trck_13.mp3", 3, 1, 623, 4, FileType::Mp3, u"", u"", u"", u"Track '\\t4'"},
    {"trck/mutagen_trck_15.mp3", 3, 1, 624, 1, FileType::Mp3, u"", u"", u"", u"Track '1 2'"},
    {"trck/mutagen_trck_17.mp3", 3, 1, 628, 9, FileType::Mp3, u"", u"", u"", u"Track '00009'"},
    {"trck/mutagen_trck_utf16_v24.mp3", 3, 1, 611, 14, FileType::Mp3, u"", u"", u"",
     u"mutagen_trck_utf16_v24.mp3"},
    {"trck/v2_trck_over_v1_track.mp3", 3, 1, 728, 15, FileType::Mp3, u"Other", u"", u"", u"V1"},
    {"wav/ffmpeg_bext_before_list.wav", 3, 1, 1540, -1, FileType::Wav, u"", u"", u"",
     u"ffmpeg_bext_before_list.wav"},
    {"wav/ffmpeg_inam_then_isbj.wav", 3, 1, 890, -1, FileType::Wav, u"", u"", u"", u"Name wins"},
    {"wav/ffmpeg_info_cp1252.wav", 3, 1, 884, -1, FileType::Wav, u"", u"", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
    {"wav/ffmpeg_info_sjis.wav", 3, 1, 902, -1, FileType::Wav, u"",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O", u"",
     u"\x201C\x00FA\x2013{\x0152\x00EA\x201A\x00CC\x0192^\x0192"
     u"C\x0192g\x0192\x2039"},
    {"wav/ffmpeg_info_utf8.wav", 3, 1, 876, -1, FileType::Wav, u"", u"", u"",
     u"Gr\x00C3\x00BC\x00C3\x0178"
     u"e \x00E2\x0153\x201C"},
    {"wav/ffmpeg_list_before_data.wav", 3, 1, 930, -1, FileType::Wav, u"Rock", u"Wave Artist",
     u"Wave Album", u"Wave Title"},
    {"wav/ffmpeg_no_tags.wav", 3, 1, 844, -1, FileType::Wav, u"", u"", u"", u"ffmpeg_no_tags.wav"},
    {"wav/hand_empty_item.wav", 3, 1, 880, -1, FileType::Wav, u"", u"", u"",
     u"hand_empty_item.wav"},
    {"wav/hand_iid3_item.wav", 3, 1, 932, -1, FileType::Wav, u"", u"", u"", u"Before IID3"},
    {"wav/hand_list_type_adtl.wav", 3, 1, 874, -1, FileType::Wav, u"", u"", u"", u"adtl list"},
    {"wav/hand_not_riff.wav", 3, 1, 576, -1, FileType::Wav, u"", u"", u"", u"hand_not_riff.wav"},
    {"wav/hand_rmp3_fmt_first.wav", 3, 1, 874, -1, FileType::Wav, u"", u"", u"",
     u"hand_rmp3_fmt_first.wav"},
    {"wav/hand_short_11_bytes.wav", 3, 1, 11, -1, FileType::Wav, u"", u"", u"",
     u"hand_short_11_bytes.wav"},
    {"wav/libsndfile_list_after_data.wav", 3, 1, 924, -1, FileType::Wav, u"", u"Sndfile Artist",
     u"Sndfile Album", u"Sndfile Title"},
    {"wav/libsndfile_odd_data_then_list.wav", 3, 1, 882, -1, FileType::Wav, u"", u"", u"",
     u"libsndfile_odd_data_then_list.wav"},
    {"wav/mutagen_id3_chunk_only.wav", 3, 1, 888, -1, FileType::Wav, u"", u"", u"",
     u"mutagen_id3_chunk_only.wav"},
    {"id3v1/v1_ffmpeg_utf8_bytes.mp3", 1, 1, 704, 4, FileType::Mp3, u"Jazz",
     u"\xFF83\x5F9E\xFF83\xFF6F"
     u"c\xFF83\xFF76"
     u"d\xFF83\xFF69",
     u"Alb", u"Gr\xFF83\xFF7C\xFF83\x6B79 aus K\xFF83\xFF76ln"},
    {"id3v1/v1_sjis.mp3", 1, 1, 704, 0, FileType::Mp3, u"Pop", u"\x6B4C\x624B\x306E\x540D\x524D",
     u"\x6B4C\x624B\x306E\x540D\x524D", u"\x65E5\x672C\x8A9E\x306E\x30BF\x30A4\x30C8\x30EB"},
    {"id3v1/v1_sjis_cut_lead_byte.mp3", 1, 1, 704, 0, FileType::Mp3, u"Pop", u"", u"",
     u"\x3042\x3044\x308D\x306F\x306B\x307B\x3078\x3068\x3061\x308A\x306C\x308B\x3092", true},
    {"id3v2/id3lib_v23_enc0_sjis.mp3", 1, 1, 2048, -1, FileType::Mp3, u"",
     u"\x6B4C\x624B\x306E\x540D\x524D", u"", u"\x65E5\x672C\x8A9E\x306E\x30BF\x30A4\x30C8\x30EB"},
    {"id3v2/mutagen_v23_enc0_sjis_bytes.mp3", 1, 1, 656, -1, FileType::Mp3, u"", u"",
     u"\x6771\x4EAC\x7279\x8A31\x8A31\x53EF\x5C40\x9577\x4ECA\x65E5\x6025\x907D\x4F11\x6687\x8A31",
     u"\x65E5\x672C\x8A9E\x306E\x30BF\x30A4\x30C8\x30EB"},
    {"wav/ffmpeg_info_sjis.wav", 1, 1, 902, -1, FileType::Wav, u"",
     u"\x6B4C\x624B\x306E\x540D\x524D", u"", u"\x65E5\x672C\x8A9E\x306E\x30BF\x30A4\x30C8\x30EB"},
    {"wav/ffmpeg_info_utf8.wav", 1, 1, 876, -1, FileType::Wav, u"", u"", u"",
     u"Gr\xFF83\xFF7C\xFF83\x6B79 \x7B28", true},
    {"id3v1/v1_gbk.mp3", 2, 1, 704, 0, FileType::Mp3, u"Pop", u"\x6B4C\x624B", u"",
     u"\x4E2D\x6587\x6B4C\x66F2\x6807\x9898"},
    {"id3v1/v1_sjis.mp3", 2, 1, 704, 0, FileType::Mp3, u"Pop", u"\x58E7\x5EA4\x507A\x67E4\x615C",
     u"\x58E7\x5EA4\x507A\x67E4\x615C", u"\x64D4\x676E\x5C85\x507A\x50DE\x50C0\x50E9\x5116"},
    {"id3v1/v1_cp1252.mp3", 9, 1, 704, 0, FileType::Mp3, u"Pop", u"", u"",
     u"Caf\x0439 D\x0439j\x0430 Vu \x2013 \x0421o\x0441o"},
    {"id3v1/v1_sjis.mp3", 9, 1, 704, 0, FileType::Mp3, u"Pop",
     u"\x2030\x041C\x040B\x0438\x201A\x041C\x2013\x0458\x2018O",
     u"\x2030\x041C\x040B\x0438\x201A\x041C\x2013\x0458\x2018O",
     u"\x201C\x044A\x2013{\x040A\x043A\x201A\x041C\x0453^\x0453"
     u"C\x0453g\x0453\x2039"},
    {"id3v1/v1_cp1252.mp3", 0, 1, 704, 0, FileType::Mp3, u"Pop", u"", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
    {"id3v1/v1_sjis.mp3", 0, 1, 704, 0, FileType::Mp3, u"Pop",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O",
     u"\x2030\x00CC\x017D\x00E8\x201A\x00CC\x2013\x00BC\x2018O",
     u"\x201C\x00FA\x2013{\x0152\x00EA\x201A\x00CC\x0192^\x0192"
     u"C\x0192g\x0192\x2039"},
    {"id3v2/id3lib_v23_enc0_cp1252.mp3", 0, 1, 2048, -1, FileType::Mp3, u"", u"Art", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
    {"wav/ffmpeg_info_cp1252.wav", 0, 1, 884, -1, FileType::Wav, u"", u"", u"",
     u"Caf\x00E9 D\x00E9j\x00E0 Vu \x2013 \x00D1o\x00F1o"},
};

void CheckFixture(const Expected& e, platform::TextCodec* codec) {
  SCOPED_TRACE(std::string(e.file) + " language " + std::to_string(e.tagLanguage));
  const Bytes data = ReadDataFile(e.file);
  ASSERT_TRUE(!data.empty() || std::string(e.file) == "misc/empty.mp3") << "missing fixture";
  std::u16string path = u"E:\\" + FromUtf8(e.file);
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  const ReadResult r = ReadFile(data, path, e.tagLanguage, codec);
  ASSERT_EQ(e.result, r.result);
  if (e.result != 1) return;
  EXPECT_EQ(e.fileSize, r.record.fileSize);
  EXPECT_EQ(static_cast<int32_t>(data.size()), r.record.fileSize);
  EXPECT_EQ(e.trackNumber, r.record.trackNumber);
  EXPECT_EQ(e.fileType, r.record.fileType);
  EXPECT_EQ(std::u16string(e.genre), r.genre());
  EXPECT_EQ(std::u16string(e.artist), r.artist());
  EXPECT_EQ(std::u16string(e.album), r.album());
  if (e.lastTitleUnitIsTheConverters) {
    const std::u16string want(e.title);
    ASSERT_EQ(want.size() + 1, r.title().size());
    EXPECT_EQ(want, r.title().substr(0, want.size()));
  } else {
    EXPECT_EQ(std::u16string(e.title), r.title());
  }
  EXPECT_EQ(path.substr(2), r.path());
  EXPECT_EQ(0x00FFFFFFu, r.record.PackedWord() & 0x00FFFFFFu);
}

TEST(RealFixtures, EachFileGivesTheRecordItsTagsDescribe) {
  for (const Expected& e : kExpected) CheckFixture(e, nullptr);
}

TEST(RealFixtures, GiveTheSameRecordsWithThePlatformsCodePageConverter) {
  // Code page 0 follows the user's locale there, so those rows are left out.
  platform::posix::IconvTextCodec codec;
  for (const Expected& e : kExpected) {
    if (e.tagLanguage != 0) CheckFixture(e, &codec);
  }
}

}  // namespace
}  // namespace deltrix::testing
