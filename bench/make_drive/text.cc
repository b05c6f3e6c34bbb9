#include "text.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace deltrix::bench {
namespace {

template <size_t N>
std::string_view PickFrom(Rng& rng, const std::array<std::string_view, N>& words) {
  return words[rng.Below(static_cast<uint32_t>(N))];
}

constexpr std::array<std::string_view, 130> kEnglishWords = {
    "Love",     "Night",    "Heart",    "Fire",     "Rain",    "Dream",   "Light",     "Dance",
    "Road",     "River",    "City",     "Summer",   "Winter",  "Sun",     "Moon",      "Star",
    "Blue",     "Red",      "Black",    "Gold",     "Silver",  "Wild",    "Lost",      "Home",
    "Time",     "World",    "Girl",     "Boy",      "Baby",    "Tonight", "Forever",   "Yesterday",
    "Tomorrow", "Angel",    "Devil",    "Paradise", "Highway", "Ocean",   "Thunder",   "Shadow",
    "Glass",    "Stone",    "Electric", "Midnight", "Morning", "Sweet",   "Crazy",     "Broken",
    "Secret",   "Golden",   "Neon",     "Velvet",   "Echo",    "Ghost",   "Kingdom",   "Garden",
    "Mirror",   "Window",   "Train",    "Letter",   "Song",    "Story",   "Memory",    "Island",
    "Desert",   "Mountain", "Valley",   "Storm",    "Wind",    "Snow",    "Sky",       "Free",
    "Young",    "Old",      "Little",   "Last",     "First",   "Heaven",  "Fever",     "Magic",
    "Silence",  "Voice",    "Shine",    "Falling",  "Running", "Burning", "Dancing",   "Waiting",
    "Hold",     "Open",     "Tears",    "Smile",    "Kiss",    "Touch",   "Wonder",    "Sugar",
    "Honey",    "Whiskey",  "Diamond",  "Paper",    "Rocket",  "Radio",   "Satellite", "Machine",
    "Signal",   "Circuit",  "Harbor",   "Lantern",  "Compass", "Horizon", "Meadow",    "Orchard",
    "Canyon",   "Prairie",  "Static",   "Copper",   "Marble",  "Cinder",  "Ember",     "Harvest",
    "Tide",     "Comet",    "Orbit",    "Arrow",    "Feather", "Anchor",  "Ribbon",    "Summit",
    "Willow",   "Raven"};
constexpr std::array<std::string_view, 16> kEnglishLinks = {
    "of",     "in the", "on the",  "for",       "and",        "under the", "with",     "from the",
    "to the", "like a", "without", "after the", "before the", "into the",  "over the", "at the"};
constexpr std::array<std::string_view, 40> kEnglishFirst = {
    "John",   "Mary",  "David",  "Sarah",  "Michael", "Emma",   "James", "Olivia",
    "Robert", "Grace", "Daniel", "Lucy",   "Thomas",  "Hannah", "Peter", "Alice",
    "Mark",   "Laura", "Paul",   "Rachel", "Chris",   "Megan",  "Steve", "Kate",
    "Tony",   "Julia", "Sam",    "Nina",   "Ben",     "Ruby",   "Jack",  "Ella",
    "Leo",    "Ivy",   "Max",    "Zara",   "Owen",    "Tess",   "Finn",  "Mia"};
constexpr std::array<std::string_view, 40> kEnglishLast = {
    "Walker",  "Harris", "Carter", "Mitchell", "Turner", "Parker", "Collins", "Morgan",
    "Bennett", "Hayes",  "Brooks", "Foster",   "Reed",   "Price",  "Ward",    "Porter",
    "Hughes",  "Fisher", "Grant",  "Palmer",   "Stone",  "Lane",   "Fox",     "Wells",
    "Marsh",   "Blake",  "Hunt",   "Shaw",     "Dean",   "Cole",   "Barker",  "Holt",
    "Webb",    "Frost",  "Knight", "Quinn",    "Rowe",   "Sharp",  "Vance",   "Wilde"};
constexpr std::array<std::string_view, 30> kBandNouns = {
    "Wolves",     "Lanterns", "Strangers", "Kings",     "Sparrows", "Machines", "Rivers", "Ghosts",
    "Pilots",     "Dreamers", "Echoes",    "Saints",    "Shadows",  "Tigers",   "Horses", "Comets",
    "Satellites", "Runaways", "Vandals",   "Wanderers", "Foxes",    "Engines",  "Giants", "Rebels",
    "Sailors",    "Owls",     "Arrows",    "Crowns",    "Diamonds", "Mirrors"};

constexpr std::array<std::string_view, 40> kLatinWords = {
    "Café",    "Mélodie", "Été",    "Fête",    "Cœur",      "Rêve",   "Lumière", "Señor",
    "Corazón", "Canción", "Mañana", "Niño",    "Jardín",    "Canção", "Saudade", "Coração",
    "Größe",   "Straße",  "Träume", "Mädchen", "Sehnsucht", "Schön",  "Hölle",   "Sjön",
    "Ängel",   "Blå",     "Höst",   "Fjäll",   "Łąka",      "Żółw",   "Píseň",   "Život",
    "Rüzgar",  "Güneş",   "Çiçek",  "Ísland",  "Noël",      "Passé",  "Déjà vu", "Ça va"};
constexpr std::array<std::string_view, 20> kLatinFirst = {
    "José",  "Zoë",        "Jürgen", "François", "Søren",  "Renée", "Björn",
    "Iñigo", "Małgorzata", "Chloé",  "Andrés",   "Jérôme", "Agnès", "Håkon",
    "Dóra",  "Łukasz",     "Tomáš",  "Ümit",     "Görkem", "Joël"};
constexpr std::array<std::string_view, 20> kLatinLast = {
    "Müller", "García", "Núñez",  "Lefèvre",   "Sørensen", "Åberg", "Gómez",
    "Pérez",  "Bäcker", "Köhler", "Jiménez",   "Wójcik",   "Novák", "Šimková",
    "Öztürk", "Çelik",  "Ruíz",   "Fernández", "Ström",    "Brühl"};

constexpr std::array<std::string_view, 28> kCyrillicWords = {
    "Любовь", "Ночь", "Город", "Весна",  "Дорога", "Звезда", "Море",  "Песня", "Солнце", "Ветер",
    "Сердце", "Зима", "Река",  "Небо",   "Огонь",  "Время",  "Мечта", "Друг",  "Дом",    "Лето",
    "Осень",  "Душа", "Свет",  "Тишина", "Поезд",  "Окно",   "Снег",  "Берег"};
constexpr std::array<std::string_view, 12> kCyrillicFirst = {
    "Алексей", "Мария", "Иван",    "Ольга",     "Дмитрий", "Наталья",
    "Сергей",  "Анна",  "Николай", "Екатерина", "Андрей",  "Татьяна"};
constexpr std::array<std::string_view, 12> kCyrillicLast = {
    "Петров",  "Соколов", "Волков",   "Морозов", "Лебедев", "Кузнецов",
    "Смирнов", "Попов",   "Васильев", "Новиков", "Федоров", "Орлов"};

constexpr std::array<std::string_view, 26> kJapaneseWords = {
    "桜",   "夜空", "約束",     "恋心",   "夏の日", "さよなら", "ありがとう", "未来",  "風の歌",
    "星空", "東京", "雨上がり", "君の声", "花火",   "旅立ち",   "青空",       "月光",  "永遠",
    "涙",   "海辺", "夢",       "光",     "季節",   "初恋",     "秘密",       "帰り道"};
constexpr std::array<std::string_view, 10> kJapaneseFamily = {
    "佐藤", "鈴木", "高橋", "田中", "渡辺", "伊藤", "山本", "中村", "小林", "加藤"};
constexpr std::array<std::string_view, 10> kJapaneseGiven = {
    "美咲", "翔太", "陽菜", "大輝", "さくら", "ゆい", "健", "愛", "蓮", "葵"};

constexpr std::array<std::string_view, 20> kChineseWords = {
    "月亮", "爱情", "时间", "朋友", "梦想", "故乡", "春天", "晴天", "下雨天", "心跳",
    "远方", "回忆", "星星", "微笑", "蓝色", "城市", "夜晚", "海洋", "青春",   "告白"};
constexpr std::array<std::string_view, 10> kChineseFamily = {"王", "李", "张", "刘", "陈",
                                                             "杨", "黄", "赵", "吴", "周"};
constexpr std::array<std::string_view, 10> kChineseGiven = {"伟",   "芳",   "娜",   "敏",   "静",
                                                            "小明", "雨欣", "子涵", "浩然", "思远"};

constexpr std::array<std::string_view, kGenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    // Genres that taggers write as text only.
    "J-Pop", "K-Pop", "Chanson française", "Schlager", "Русский рок", "演歌",
    "Música Popular Brasileira", "アニメ"};
constexpr int kNumberedGenres = 72;
constexpr std::array<int, 15> kPopularGenres = {17, 13, 8, 32, 7,  52, 20, 2,
                                                42, 0,  9, 24, 43, 35, 72};

// Plain English words made fullwidth (U+FF01..U+FF5E), as some Japanese releases write names.
std::string Fullwidth(std::string_view ascii) {
  std::string out;
  for (char c : ascii) {
    const unsigned u = static_cast<unsigned char>(c);
    if (u > 0x20 && u < 0x7F) {
      const unsigned cp = 0xFF01 + (u - 0x21);
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += c;
    }
  }
  return out;
}

std::string EnglishPhrase(Rng& rng) {
  std::string s;
  switch (rng.Below(6)) {
    case 0:
      s = std::string(PickFrom(rng, kEnglishWords));
      break;
    case 1:
    case 2:
      s = std::string(PickFrom(rng, kEnglishWords)) + " " +
          std::string(PickFrom(rng, kEnglishWords));
      break;
    case 3:
      s = std::string(PickFrom(rng, kEnglishWords)) + " " +
          std::string(PickFrom(rng, kEnglishLinks)) + " " +
          std::string(PickFrom(rng, kEnglishWords));
      break;
    case 4:
      s = "The " + std::string(PickFrom(rng, kEnglishWords)) + " " +
          std::string(PickFrom(rng, kEnglishWords));
      break;
    default:
      s = std::string(PickFrom(rng, kEnglishWords)) + " " +
          std::string(PickFrom(rng, kEnglishWords)) + " " +
          std::string(PickFrom(rng, kEnglishWords));
      break;
  }
  return s;
}

std::string PhraseIn(Rng& rng, Script script) {
  switch (script) {
    case Script::Ascii:
      return EnglishPhrase(rng);
    case Script::Latin:
      return rng.Below(2) == 0 ? std::string(PickFrom(rng, kLatinWords))
                               : std::string(PickFrom(rng, kLatinWords)) + " " +
                                     std::string(rng.Below(2) ? PickFrom(rng, kLatinWords)
                                                              : PickFrom(rng, kEnglishWords));
    case Script::Cyrillic:
      return rng.Below(2) == 0 ? std::string(PickFrom(rng, kCyrillicWords))
                               : std::string(PickFrom(rng, kCyrillicWords)) + " " +
                                     std::string(PickFrom(rng, kCyrillicWords));
    case Script::Japanese:
      return rng.Below(2) == 0
                 ? std::string(PickFrom(rng, kJapaneseWords))
                 : std::string(PickFrom(rng, kJapaneseWords)) + (rng.Below(2) ? "の" : "と") +
                       std::string(PickFrom(rng, kJapaneseWords));
    case Script::Chinese:
      return rng.Below(2) == 0 ? std::string(PickFrom(rng, kChineseWords))
                               : std::string(PickFrom(rng, kChineseWords)) +
                                     std::string(PickFrom(rng, kChineseWords));
    case Script::Fullwidth:
      return Fullwidth(std::string(PickFrom(rng, kEnglishWords)));
  }
  return EnglishPhrase(rng);
}

// Decodes one UTF-8 sequence of our own (well-formed) text; advances `i`.
uint32_t NextCodePoint(std::string_view s, size_t* i) {
  const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(s[k])); };
  const uint32_t c = b(*i);
  if (c < 0x80 || *i + 1 >= s.size()) {
    *i += 1;
    return c;
  }
  if (c < 0xE0) {
    const uint32_t cp = (c & 0x1F) << 6 | (b(*i + 1) & 0x3F);
    *i += 2;
    return cp;
  }
  if (c < 0xF0 && *i + 2 < s.size()) {
    const uint32_t cp = (c & 0x0F) << 12 | (b(*i + 1) & 0x3F) << 6 | (b(*i + 2) & 0x3F);
    *i += 3;
    return cp;
  }
  if (*i + 3 < s.size()) {
    const uint32_t cp =
        (c & 0x07) << 18 | (b(*i + 1) & 0x3F) << 12 | (b(*i + 2) & 0x3F) << 6 | (b(*i + 3) & 0x3F);
    *i += 4;
    return cp;
  }
  *i = s.size();
  return '?';
}

int Cp1252Byte(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  struct Pair {
    uint32_t cp;
    int byte;
  };
  static constexpr Pair kHigh[] = {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84},
                                   {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88},
                                   {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
                                   {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93},
                                   {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
                                   {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
                                   {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
  for (const Pair& p : kHigh) {
    if (p.cp == cp) return p.byte;
  }
  return -1;
}

}  // namespace

Script PickArtistScript(Rng& rng) {
  const uint32_t r = rng.Below(100);
  if (r < 83) return Script::Ascii;
  if (r < 90) return Script::Latin;
  if (r < 94) return Script::Cyrillic;
  if (r < 97) return Script::Japanese;
  if (r < 99) return Script::Chinese;
  return Script::Fullwidth;
}

Script PickTitleScript(Rng& rng, Script artistScript) {
  if (artistScript == Script::Ascii) return rng.Below(100) < 2 ? Script::Latin : Script::Ascii;
  if (artistScript == Script::Fullwidth) return rng.Below(2) ? Script::Fullwidth : Script::Japanese;
  return rng.Below(100) < 75 ? artistScript : Script::Ascii;
}

std::string MakePersonName(Rng& rng, Script script) {
  switch (script) {
    case Script::Latin:
      return std::string(PickFrom(rng, kLatinFirst)) + " " + std::string(PickFrom(rng, kLatinLast));
    case Script::Cyrillic:
      return std::string(PickFrom(rng, kCyrillicFirst)) + " " +
             std::string(PickFrom(rng, kCyrillicLast));
    case Script::Japanese:
      return std::string(PickFrom(rng, kJapaneseFamily)) + (rng.Below(3) ? "" : " ") +
             std::string(PickFrom(rng, kJapaneseGiven));
    case Script::Chinese:
      return std::string(PickFrom(rng, kChineseFamily)) + std::string(PickFrom(rng, kChineseGiven));
    case Script::Fullwidth:
      return Fullwidth(std::string(PickFrom(rng, kEnglishFirst)));
    case Script::Ascii:
      break;
  }
  return std::string(PickFrom(rng, kEnglishFirst)) + " " + std::string(PickFrom(rng, kEnglishLast));
}

std::string MakeArtistName(Rng& rng, Script script) {
  if (script != Script::Ascii) {
    switch (rng.Below(3)) {
      case 0:
        return MakePersonName(rng, script);
      case 1:
        return PhraseIn(rng, script);
      default:
        // Bands outside English sometimes take an English "The" name too.
        if (script == Script::Fullwidth)
          return Fullwidth("THE " + std::string(PickFrom(rng, kBandNouns)));
        return PhraseIn(rng, script);
    }
  }
  const uint32_t r = rng.Below(100);
  if (r < 13)
    return "The " + std::string(PickFrom(rng, kEnglishWords)) + " " +
           std::string(PickFrom(rng, kBandNouns));
  if (r < 16) return "The " + std::string(PickFrom(rng, kBandNouns));
  if (r < 50) return MakePersonName(rng, Script::Ascii);
  if (r < 60)
    return MakePersonName(rng, Script::Ascii) + " & the " + std::string(PickFrom(rng, kBandNouns));
  if (r < 65) return "DJ " + std::string(PickFrom(rng, kEnglishWords));
  if (r < 80)
    return std::string(PickFrom(rng, kEnglishWords)) + " " + std::string(PickFrom(rng, kBandNouns));
  return std::string(PickFrom(rng, kEnglishWords)) + std::string(PickFrom(rng, kEnglishWords));
}

std::string MakeAlbumTitle(Rng& rng, Script script) {
  std::string title = PhraseIn(rng, script);
  const uint32_t r = rng.Below(100);
  if (r < 4)
    title += " (Deluxe Edition)";
  else if (r < 6)
    title += " (Live)";
  else if (r < 8)
    title = "Greatest Hits " + std::to_string(rng.Between(1, 3));
  else if (r < 10)
    title += " [Remastered]";
  return title;
}

std::string MakeTrackTitle(Rng& rng, Script script) {
  std::string title = PhraseIn(rng, script);
  const uint32_t r = rng.Below(1000);
  if (r < 10) {
    // Long titles, cut by the player.
    title += " (feat. " + MakePersonName(rng, Script::Ascii) + " & " +
             MakePersonName(rng, Script::Ascii) + ") [Extended Club Mix - Remastered 2011 Version]";
  } else if (r < 40) {
    title += " (Remix)";
  } else if (r < 60) {
    title += " (Live)";
  } else if (r < 80) {
    title += " (feat. " + MakePersonName(rng, Script::Ascii) + ")";
  } else if (r < 90) {
    title += ", Pt. " + std::to_string(rng.Between(2, 4));
  }
  return title;
}

std::string_view GenreName(int genre) { return kGenres[static_cast<size_t>(genre)]; }

int Id3v1GenreOf(int genre) { return genre < kNumberedGenres ? genre : -1; }

int PickGenre(Rng& rng) {
  if (rng.Below(100) < 60)
    return kPopularGenres[rng.Below(static_cast<uint32_t>(kPopularGenres.size()))];
  return static_cast<int>(rng.Below(kGenreCount));
}

std::string FatSafeName(std::string_view text, size_t maxUnits) {
  std::string out;
  size_t units = 0;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const uint32_t cp = NextCodePoint(text, &i);
    if (cp < 0x20 || cp == 0x7F) continue;
    const size_t cpUnits = cp >= 0x10000 ? 2 : 1;
    if (units + cpUnits > maxUnits) break;
    units += cpUnits;
    switch (cp) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        out += '_';
        break;
      default:
        out.append(text.substr(start, i - start));
        break;
    }
  }
  size_t begin = 0;
  while (begin < out.size() && out[begin] == ' ') ++begin;
  size_t end = out.size();
  while (end > begin && (out[end - 1] == ' ' || out[end - 1] == '.')) --end;
  out = out.substr(begin, end - begin);
  return out.empty() ? std::string("Untitled") : out;
}

std::string ToCp1252(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const int b = Cp1252Byte(NextCodePoint(text, &i));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

bool FitsCp1252(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    if (Cp1252Byte(NextCodePoint(text, &i)) < 0) return false;
  }
  return true;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace deltrix::bench
