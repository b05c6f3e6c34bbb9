#include "plan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "rng.h"

namespace deltrix::bench {
namespace {

constexpr uint64_t kArtistSalt = 0xA1;
constexpr uint64_t kAlbumSalt = 0xA2;
constexpr uint64_t kTrackSalt = 0xA3;
constexpr uint64_t kGenerationSalt = 0xA4;
constexpr uint64_t kDecoySalt = 0xA5;
constexpr uint64_t kLayoutSalt = 0xA6;

enum Layout : int {
  kArtistAlbum,       // Music/Artist/Album
  kGenreArtistAlbum,  // Music/Genre/Artist/Album
  kRootAlbum,         // Artist - Album
  kLetterLibrary,     // Music/Library/A/Artist/2004 - Album/CD1
  kDeepCollection,    // Media/Audio/Collections/Genre/Artist/2004 - Album/Disc 1: seven levels down
  kPodcast,           // Podcasts/Show/2019
  kSingles,           // Downloads/Singles, shared by many artists
  kCompilation,       // Music/Compilations/Album
  kRootFiles,         // the root itself
};

std::string TwoDigits(uint32_t n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }

// The first letter of a name for "by letter" folders, "The " skipped; "#" when not a letter.
std::string LetterOf(const std::string& name) {
  const size_t at = name.rfind("The ", 0) == 0 ? 4 : 0;
  if (at >= name.size()) return "#";
  const char c = name[at];
  if (c >= 'a' && c <= 'z') return std::string(1, static_cast<char>(c - 32));
  if (c >= 'A' && c <= 'Z') return std::string(1, c);
  return "#";
}

class Planner {
 public:
  explicit Planner(Plan& plan) : plan_(plan), seed_(plan.options.seed) {
    usedFolders_.insert("");
    usedFolders_.insert("downloads/singles");
  }

  uint32_t NewArtist() {
    const uint32_t index = static_cast<uint32_t>(plan_.artists.size());
    Rng rng(KeyOf(seed_, kArtistSalt, index));
    Artist a;
    a.script = PickArtistScript(rng);
    a.name = MakeArtistName(rng, a.script);
    a.genre = PickGenre(rng);
    plan_.artists.push_back(std::move(a));
    return index;
  }

  // Adds an album of at most `limit` tracks; returns how many tracks it has.
  uint32_t AddAlbum(uint32_t artist, uint32_t limit, AlbumRole role, uint32_t generation,
                    bool withDecoys) {
    const uint32_t index = static_cast<uint32_t>(plan_.albums.size());
    Rng rng(KeyOf(seed_, kAlbumSalt, index));
    const Artist& who = plan_.artists[artist];
    Album al;
    al.artist = artist;
    al.role = role;
    al.generation = generation;
    al.compilation = role == AlbumRole::Collected && rng.PerMille(50);
    const Script titleScript = PickTitleScript(rng, who.script);
    al.title = MakeAlbumTitle(rng, titleScript);
    al.genre = rng.PerMille(900) ? who.genre : PickGenre(rng);
    al.year = rng.Between(1965, 2024);
    PickKind(rng, &al);

    Layout layout = PickLayout(rng, al);
    if (layout == kPodcast) al.kind = FileKind::Mp3;
    uint32_t count = DrawTrackCount(rng);
    if (layout == kSingles || layout == kRootFiles)
      count = static_cast<uint32_t>(rng.Between(1, 3));
    count = std::min(count, limit);
    PickExtension(rng, &al);
    PickStyle(rng, &al);
    const bool shared = layout == kSingles || layout == kRootFiles;
    al.folder = FolderOf(rng, al, layout, who);
    if (!shared) al.folder = UniqueFolder(al.folder);
    if (role == AlbumRole::HiddenFolder) AddDecoy(al.folder, DecoyContent::Folder, 0, kHidden);

    al.firstTrack = static_cast<uint32_t>(plan_.tracks.size());
    al.trackCount = count;
    const int namePattern = static_cast<int>(rng.Below(100));
    for (uint32_t n = 1; n <= count; ++n) {
      Track t;
      t.album = index;
      t.number = n;
      t.addedIn = generation;
      t.artist = artist;
      if (al.compilation)
        t.artist = static_cast<uint32_t>(rng.Below(static_cast<uint32_t>(plan_.artists.size())));
      t.title = MakeTrackTitle(rng, PickTitleScript(rng, plan_.artists[t.artist].script));
      std::string name =
          shared ? plan_.artists[t.artist].name + " - " + t.title : FileNameOf(namePattern, n, t);
      t.path = UniqueFile(al.folder, FatSafeName(name, 60), al.extension);
      plan_.tracks.push_back(std::move(t));
    }
    plan_.albums.push_back(std::move(al));
    if (withDecoys && role == AlbumRole::Collected && !shared) AddAlbumDecoys(index);
    return count;
  }

  void AddRootDecoys() {
    AddDecoy("System Volume Information", DecoyContent::Folder, 0, kHidden | kSystem);
    AddDecoy("System Volume Information/IndexerVolumeGuid", DecoyContent::Filler, 76, 0);
    AddDecoy("System Volume Information/WPSettings.dat", DecoyContent::Filler, 12, 0);
    AddDecoy("$RECYCLE.BIN", DecoyContent::Folder, 0, kHidden | kSystem);
    AddDecoy("$RECYCLE.BIN/S-1-5-21-1004336348-1177238915-682003330-1000", DecoyContent::Folder, 0,
             0);
    AddDecoy("$RECYCLE.BIN/S-1-5-21-1004336348-1177238915-682003330-1000/$R8K2L1Q.mp3",
             DecoyContent::Mp3, 4000, 0);
    AddDecoy("$RECYCLE.BIN/S-1-5-21-1004336348-1177238915-682003330-1000/$I8K2L1Q.mp3",
             DecoyContent::Filler, 544, 0);
    AddDecoy(".Trashes", DecoyContent::Folder, 0, 0);
    AddDecoy(".Trashes/501", DecoyContent::Folder, 0, 0);
    AddDecoy(".Trashes/501/Old Song.mp3", DecoyContent::Mp3, 4000, 0);
    AddDecoy("._.Trashes", DecoyContent::Filler, 4096, 0);
    AddDecoy(".Spotlight-V100/Store-V2/6D3C7F0A-93B1-4C1E-8A0F-2B7D7E3C9A11/store.db",
             DecoyContent::Filler, 8192, 0);
    AddDecoy(".fseventsd/fseventsd-uuid", DecoyContent::Filler, 36, 0);
    AddDecoy(".metadata_never_index", DecoyContent::Filler, 0, 0);
    AddDecoy("autorun.inf", DecoyContent::Filler, 60, kHidden);
    AddDecoy("LOST.DIR", DecoyContent::Folder, 0, 0);
    AddDecoy("Hidden Song.mp3", DecoyContent::Mp3, 4000, kHidden);
    AddDecoy("System Sound.wav", DecoyContent::Mp3, 4000, kSystem);
    for (int i = 1; i <= 6; ++i) {
      AddDecoy("DCIM/100MEDIA/IMAG000" + std::to_string(i) + ".JPG", DecoyContent::Jpeg, 24000, 0);
    }
    AddDecoy("Playlists/Favourites.m3u8", DecoyContent::Filler, 900, 0);
    AddDecoy("Playlists/Road Trip.wpl", DecoyContent::Filler, 1400, 0);
    AddDecoy(
        "Android/media/com.whatsapp/WhatsApp/Media/WhatsApp Voice Notes/PTT-20240101-WA0001.opus",
        DecoyContent::Filler, 3000, 0);
    AddDecoy("README.txt", DecoyContent::Filler, 300, 0);
  }

 private:
  void PickKind(Rng& rng, Album* al) {
    if (al->role == AlbumRole::OtherFormat) return;
    const uint32_t r = rng.Below(1000);
    al->kind = r < 750   ? FileKind::Mp3
               : r < 875 ? FileKind::M4a
               : r < 900 ? FileKind::Mp4
               : r < 950 ? FileKind::Wav
                         : FileKind::Aac;
  }

  void PickExtension(Rng& rng, Album* al) {
    if (al->role == AlbumRole::OtherFormat) {
      const uint32_t r = rng.Below(10);
      al->extension = r < 6 ? ".flac" : r < 8 ? ".ogg" : r < 9 ? ".wma" : ".m4p";
      return;
    }
    switch (al->kind) {
      case FileKind::Mp3:
        al->extension = ".mp3";
        break;
      case FileKind::Aac:
        al->extension = ".aac";
        break;
      case FileKind::M4a:
        al->extension = ".m4a";
        break;
      case FileKind::Mp4:
        al->extension = ".mp4";
        break;
      case FileKind::Wav:
        al->extension = ".wav";
        break;
    }
    const uint32_t r = rng.Below(100);
    if (r < 3) {
      for (char& c : al->extension) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    } else if (r < 4) {
      al->extension[1] = static_cast<char>(al->extension[1] - 32);
    }
  }

  void PickStyle(Rng& rng, Album* al) {
    AlbumStyle& s = al->style;
    static constexpr uint32_t kPaddings[] = {0, 256, 512, 1024, 1024, 1024, 2048, 2048, 2048, 4096};
    s.padding = kPaddings[rng.Below(10)];
    s.latin1Numbers = rng.PerMille(500);
    s.terminators = rng.PerMille(400);
    s.mediaPlayerFrames = rng.PerMille(250);
    s.writeTotal = rng.PerMille(600);
    s.comment = rng.PerMille(200);
    // Both draws happen whatever the share, so trees that differ only in --cover-share hold the
    // same files, tags and layouts apart from the pictures.
    const bool cover = rng.Unit() * 100.0 < plan_.options.coverShare;
    const uint32_t coverBytes = static_cast<uint32_t>(rng.Between(100 * 1024, 500 * 1024));
    s.coverBytes = cover ? coverBytes : 0;
    s.coverFirst = rng.PerMille(200);
    const bool numbered = Id3v1GenreOf(al->genre) >= 0;
    switch (al->kind) {
      case FileKind::Mp3: {
        const uint32_t r = rng.Below(1000);
        s.id3Version = r < 800 ? 3 : r < 950 ? 4 : 0;
        s.id3v1 = s.id3Version != 0 ? rng.PerMille(250) : r < 980;
        break;
      }
      case FileKind::Aac:
        s.id3Version = rng.PerMille(600) ? 4 : 3;
        s.id3v1 = rng.PerMille(100);
        break;
      case FileKind::M4a:
      case FileKind::Mp4:
        s.id3Version = 0;
        s.moovLast = rng.PerMille(300);
        s.numericGenre = numbered && rng.PerMille(200);
        s.freeBytes = static_cast<uint32_t>(rng.Below(4)) * 512;
        break;
      case FileKind::Wav:
        s.id3Version = 0;
        s.listFirst = rng.PerMille(300);
        s.id3Chunk = rng.PerMille(200);
        s.coverBytes = 0;
        break;
    }
    if (s.id3Version == 4) s.coverFirst = false;  // taggers put the v2.4 picture after the text
    const uint32_t g = rng.Below(100);
    if (s.id3Version == 3 && numbered) {
      s.genreForm = g < 85 ? 0 : g < 93 ? 1 : g < 98 ? 2 : 3;
    } else {
      s.genreForm = g < 98 ? 0 : 3;
    }
  }

  static uint32_t DrawTrackCount(Rng& rng) {
    const uint32_t r = rng.Below(100);
    if (r < 15) return static_cast<uint32_t>(rng.Between(1, 3));
    if (r < 85) return static_cast<uint32_t>(rng.Between(8, 14));
    return static_cast<uint32_t>(rng.Between(15, 24));
  }

  static Layout PickLayout(Rng& rng, const Album& al) {
    if (al.role != AlbumRole::Collected) return kArtistAlbum;
    if (al.compilation) return kCompilation;
    const uint32_t r = rng.Below(100);
    if (r < 34) return kArtistAlbum;
    if (r < 52) return kGenreArtistAlbum;
    if (r < 66) return kRootAlbum;
    if (r < 74) return kLetterLibrary;
    if (r < 80) return kDeepCollection;
    if (r < 85) return kPodcast;
    if (r < 93) return kSingles;
    if (r < 94) return kRootFiles;
    return kArtistAlbum;
  }

  std::string FolderOf(Rng& rng, const Album& al, Layout layout, const Artist& who) {
    const std::string artist = FatSafeName(who.name, 40);
    const std::string album = FatSafeName(al.title, 40);
    const std::string genre = FatSafeName(GenreName(al.genre), 30);
    const std::string dated = FatSafeName(std::to_string(al.year) + " - " + al.title, 40);
    switch (al.role) {
      case AlbumRole::TooDeep:
        return "Media/Audio/Collections/" + genre + "/" + artist + "/" + dated + "/Disc 1/Bonus";
      case AlbumRole::DotFolder:
        return "Music/.stversions/" + artist + "/" + album;
      case AlbumRole::HiddenFolder:
      case AlbumRole::OtherFormat:
        return "Music/" + artist + "/" + album +
               (al.role == AlbumRole::OtherFormat ? " [FLAC]" : "");
      case AlbumRole::Collected:
        break;
    }
    switch (layout) {
      case kArtistAlbum:
        return "Music/" + artist + "/" + album;
      case kGenreArtistAlbum:
        return "Music/" + genre + "/" + artist + "/" + album;
      case kRootAlbum:
        return FatSafeName(who.name + " - " + al.title, 48);
      case kLetterLibrary:
        return "Music/Library/" + LetterOf(who.name) + "/" + artist + "/" + dated + "/CD" +
               std::to_string(rng.Between(1, 2));
      case kDeepCollection:
        return "Media/Audio/Collections/" + genre + "/" + artist + "/" + dated + "/Disc 1";
      case kPodcast:
        return "Podcasts/" + artist + "/" + std::to_string(al.year);
      case kSingles:
        return "Downloads/Singles";
      case kCompilation:
        return "Music/Compilations/" + album;
      case kRootFiles:
        return "";
    }
    return "Music/" + artist + "/" + album;
  }

  std::string FileNameOf(int pattern, uint32_t n, const Track& t) const {
    const std::string& artist = plan_.artists[t.artist].name;
    if (pattern < 50) return TwoDigits(n) + " " + t.title;
    if (pattern < 70) return TwoDigits(n) + " - " + t.title;
    if (pattern < 80) return artist + " - " + TwoDigits(n) + " - " + t.title;
    if (pattern < 90) return TwoDigits(n) + ". " + t.title;
    if (pattern < 95) return "Track " + TwoDigits(n);
    return t.title;
  }

  std::string UniqueFolder(const std::string& folder) {
    std::string candidate = folder;
    for (int i = 2; !usedFolders_.insert(FoldCase(candidate)).second; ++i) {
      candidate = folder + " (" + std::to_string(i) + ")";
    }
    return candidate;
  }

  std::string UniqueFile(const std::string& folder, const std::string& stem,
                         const std::string& extension) {
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    std::string candidate = prefix + stem + extension;
    for (int i = 2; !usedFiles_.insert(FoldCase(candidate)).second; ++i) {
      candidate = prefix + stem + " (" + std::to_string(i) + ")" + extension;
    }
    return candidate;
  }

  // Adds a decoy unless its path is taken.
  void AddDecoy(const std::string& path, DecoyContent content, uint32_t size, uint32_t attributes) {
    if (content != DecoyContent::Folder && !usedFiles_.insert(FoldCase(path)).second) return;
    plan_.decoys.push_back(Decoy{path, content, size, attributes});
  }

  // What sits beside the music in a real album folder: pictures, player and OS leftovers,
  // playlists, rip logs, copies with other extensions, now and then a hidden or system file.
  void AddAlbumDecoys(uint32_t albumIndex) {
    const Album al = plan_.albums[albumIndex];
    Rng rng(KeyOf(seed_, kDecoySalt, albumIndex));
    const std::string dir = al.folder + "/";
    const std::string stem = FatSafeName(al.title, 40);
    if (rng.PerMille(250)) {
      AddDecoy(dir + (rng.Below(2) ? "cover.jpg" : "folder.jpg"), DecoyContent::Jpeg,
               static_cast<uint32_t>(rng.Between(10000, 40000)), 0);
    }
    if (rng.PerMille(100)) {
      AddDecoy(dir + "desktop.ini", DecoyContent::Filler, 120, kHidden | kSystem);
      AddDecoy(dir + "AlbumArtSmall.jpg", DecoyContent::Jpeg, 3000, kHidden | kSystem);
      AddDecoy(dir + "AlbumArt_{6A1E1D3B-0F2C-4B7E-9A55-3C1D2E4F5A6B}_Large.jpg",
               DecoyContent::Jpeg, 15000, kHidden | kSystem);
    }
    if (rng.PerMille(50))
      AddDecoy(dir + "Thumbs.db", DecoyContent::Filler, 8192, kHidden | kSystem);
    if (rng.PerMille(80)) AddDecoy(dir + ".DS_Store", DecoyContent::Filler, 6148, 0);
    if (rng.PerMille(30)) {
      for (uint32_t i = 0; i < al.trackCount; ++i) {
        const std::string& path = plan_.tracks[al.firstTrack + i].path;
        AddDecoy(dir + "._" + path.substr(path.rfind('/') + 1), DecoyContent::Filler, 4096, 0);
      }
    }
    if (rng.PerMille(50)) AddDecoy(dir + stem + ".m3u", DecoyContent::Filler, 500, 0);
    if (rng.PerMille(30)) {
      AddDecoy(dir + stem + ".cue", DecoyContent::Filler, 1500, 0);
      AddDecoy(dir + stem + ".log", DecoyContent::Filler, 4000, 0);
    }
    if (rng.PerMille(10)) {
      static constexpr const char* kLookalikes[] = {".mp3.bak", ".m4p",      ".aifc",
                                                    ".ogg",     ".mp3.part", ".wma"};
      AddDecoy(dir + "Bonus Track" + kLookalikes[rng.Below(6)], DecoyContent::Filler, 3000, 0);
    }
    // A hidden or a system copy of an audio file: the scan passes over both.
    if (rng.PerMille(7)) {
      const uint32_t attributes = rng.Below(3) == 0 ? kSystem : kHidden;
      Track t;
      t.album = albumIndex;
      t.artist = al.artist;
      t.number = al.trackCount + 1;
      t.title = "Hidden Track";
      t.path = UniqueFile(al.folder, "99 Hidden Track", al.extension);
      t.attributes = attributes;
      plan_.tracks.push_back(std::move(t));
    }
  }

  Plan& plan_;
  uint64_t seed_;
  std::unordered_set<std::string> usedFolders_;
  std::unordered_set<std::string> usedFiles_;
};

}  // namespace

size_t Plan::CollectedAt(uint32_t generation) const {
  size_t n = 0;
  for (const Track& t : tracks) {
    if (Collected(t) && t.PresentAt(generation)) ++n;
  }
  return n;
}

Plan BuildPlan(const PlanOptions& options) {
  Plan plan;
  plan.options = options;
  Planner planner(plan);
  const uint32_t files = options.files;
  // About 2000 artists per 150000 files.
  const uint32_t artistCount =
      std::max<uint32_t>(3, static_cast<uint32_t>(std::lround(files * 2000.0 / 150000.0)));
  for (uint32_t i = 0; i < artistCount; ++i) planner.NewArtist();
  plan.tracks.reserve(files + files / 50 + 64);

  Rng rng(KeyOf(options.seed, kLayoutSalt, 0));
  uint32_t placed = 0;
  for (uint32_t ordinal = 0; placed < files; ++ordinal) {
    // Every artist gets an album first, then popular artists get more.
    uint32_t artist = ordinal;
    if (ordinal >= artistCount) {
      const double u = rng.Unit();
      artist = std::min(artistCount - 1, static_cast<uint32_t>(u * u * artistCount));
    }
    placed += planner.AddAlbum(artist, files - placed, AlbumRole::Collected, 0, true);
    const uint32_t r = rng.Below(1000);
    if (r < 7)
      planner.AddAlbum(artist, 30, AlbumRole::TooDeep, 0, false);
    else if (r < 10)
      planner.AddAlbum(artist, 30, AlbumRole::HiddenFolder, 0, false);
    else if (r < 13)
      planner.AddAlbum(artist, 30, AlbumRole::DotFolder, 0, false);
    else if (r < 43)
      planner.AddAlbum(artist, 30, AlbumRole::OtherFormat, 0, false);
  }
  planner.AddRootDecoys();
  plan.added.push_back(placed);
  plan.removed.push_back(0);

  for (uint32_t g = 1; g <= options.changes.size(); ++g) {
    Rng grng(KeyOf(options.seed, kGenerationSalt, g));
    std::vector<uint32_t> present;
    for (uint32_t i = 0; i < plan.tracks.size(); ++i) {
      if (plan.Collected(plan.tracks[i]) && plan.tracks[i].PresentAt(g - 1)) present.push_back(i);
    }
    const uint32_t change = static_cast<uint32_t>(std::min<double>(
        static_cast<double>(present.size()),
        std::round(options.changes[g - 1] * static_cast<double>(present.size()) / 100.0)));
    // Removals: whole albums for about half, single files for the rest.
    uint32_t removed = 0;
    std::vector<uint32_t> albums;
    for (uint32_t a = 0; a < plan.albums.size(); ++a) {
      if (plan.albums[a].role == AlbumRole::Collected && plan.albums[a].trackCount > 0)
        albums.push_back(a);
    }
    for (size_t i = albums.size(); i > 1; --i)
      std::swap(albums[i - 1], albums[grng.Below(static_cast<uint32_t>(i))]);
    for (uint32_t a : albums) {
      if (removed >= change / 2) break;
      const Album& al = plan.albums[a];
      bool whole = true;
      for (uint32_t k = 0; k < al.trackCount; ++k)
        whole = whole && plan.tracks[al.firstTrack + k].PresentAt(g - 1);
      if (!whole || removed + al.trackCount > change / 2) continue;
      for (uint32_t k = 0; k < al.trackCount; ++k) plan.tracks[al.firstTrack + k].removedIn = g;
      removed += al.trackCount;
    }
    while (removed < change) {
      Track& t = plan.tracks[present[grng.Below(static_cast<uint32_t>(present.size()))]];
      if (t.removedIn != UINT32_MAX) continue;
      t.removedIn = g;
      ++removed;
    }
    // Additions: new albums, most by artists already on the card.
    uint32_t added = 0;
    while (added < change) {
      uint32_t artist = grng.PerMille(300) ? planner.NewArtist()
                                           : grng.Below(static_cast<uint32_t>(plan.artists.size()));
      added += planner.AddAlbum(artist, change - added, AlbumRole::Collected, g, false);
    }
    plan.added.push_back(added);
    plan.removed.push_back(removed);
  }
  return plan;
}

TagFields TagsFor(const Plan& plan, uint32_t track) {
  const Track& t = plan.tracks[track];
  const Album& al = plan.albums[t.album];
  const AlbumStyle& s = al.style;
  Rng rng(KeyOf(plan.options.seed, kTrackSalt, track));
  TagFields f;
  const std::string& artist = plan.artists[t.artist].name;
  f.title = rng.PerMille(20) ? std::string() : t.title;
  f.artist = rng.PerMille(10) ? artist + " " : artist;
  f.album = al.title;
  if (al.compilation)
    f.albumArtist = "Various Artists";
  else if (rng.PerMille(300))
    f.albumArtist = artist;
  const int number = Id3v1GenreOf(al.genre);
  const std::string name(GenreName(al.genre));
  switch (s.genreForm) {
    case 0:
      f.genre = name;
      break;
    case 1:
      f.genre = "(" + std::to_string(number) + ")";
      break;
    case 2:
      f.genre = "(" + std::to_string(number) + ")" + name;
      break;
    default:
      break;
  }
  f.genreByte = s.genreForm == 3 || number < 0 ? 255 : number;
  f.year = std::to_string(al.year);
  if (s.comment) f.comment = "Ripped with Exact Audio Copy";
  f.track = static_cast<int>(t.number);
  f.trackTotal = s.writeTotal ? static_cast<int>(al.trackCount) : 0;
  f.disc =
      al.folder.find("/CD") != std::string::npos || al.folder.find("/Disc ") != std::string::npos
          ? 1
          : 0;
  return f;
}

PlanSummary Summarize(const Plan& plan, uint32_t generation) {
  PlanSummary s;
  std::vector<bool> artistSeen(plan.artists.size());
  std::vector<bool> genreSeen(kGenreCount);
  for (const Track& t : plan.tracks) {
    if (!plan.Collected(t) || !t.PresentAt(generation)) continue;
    const Album& al = plan.albums[t.album];
    ++s.byKind[static_cast<size_t>(al.kind)];
    if (al.style.id3Version == 3) ++s.id3v23;
    if (al.style.id3Version == 4) ++s.id3v24;
    if (al.style.id3v1) ++s.id3v1;
    if (al.style.coverBytes > 0) ++s.withCover;
    if (al.style.moovLast && (al.kind == FileKind::M4a || al.kind == FileKind::Mp4)) ++s.moovLast;
    if (!IsAscii(t.title) || !IsAscii(al.title) || !IsAscii(plan.artists[t.artist].name))
      ++s.nonAsciiText;
    if (!artistSeen[t.artist]) {
      artistSeen[t.artist] = true;
      ++s.artists;
    }
    if (!genreSeen[static_cast<size_t>(al.genre)]) {
      genreSeen[static_cast<size_t>(al.genre)] = true;
      ++s.genres;
    }
    if (std::count(t.path.begin(), t.path.end(), '/') == 7) ++s.deepest;
  }
  return s;
}

uint32_t AudioBytesFor(const Plan& plan, uint32_t track) {
  Rng rng(KeyOf(plan.options.seed, kTrackSalt ^ 0x55, track));
  return static_cast<uint32_t>(rng.Between(1500, 5000));
}

}  // namespace deltrix::bench
