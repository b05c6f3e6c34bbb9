#include "library/group_tables.h"

#include <span>

namespace deltrix::library {

namespace {

// True when tracks t and u carry the same group numbers for attributes key..upTo.
bool SameValues(const LibraryContext& ctx, int key, int upTo, uint32_t t, uint32_t u) {
  for (int a = key; a <= upTo; ++a) {
    if (ctx.groupNumbers[a][t] != ctx.groupNumbers[a][u]) return false;
  }
  return true;
}

// Step 1: the entries of one level, each opened by the track where the level's value changes.
uint32_t BuildLevel(LibraryContext& ctx, int key, int level) {
  const int attribute = key + level;
  const auto& list = ctx.sortedLists[key];
  const auto& numbers = ctx.groupNumbers;
  std::span<GroupEntry> table = ctx.Table(GroupTableIndex(key, level));
  uint32_t stored = 0;
  for (uint32_t p = 0; p < ctx.totalTracks; ++p) {
    const uint32_t t = list[p];
    bool opens = p == 0;
    if (!opens) {
      opens = numbers[attribute][t] != numbers[attribute][table[stored - 1].firstTrack()];
      for (int a = key; !opens && a < attribute; ++a)
        opens = numbers[a][t] != numbers[a][list[p - 1]];
    }
    if (opens && stored < table.size())
      table[stored++].SetFirstTrack(t);  // beyond capacity: not kept
  }
  return stored;
}

// Step 2: each upper entry's first child and count in the lower table, each lower entry's index in
// its parent.
int LinkLevels(LibraryContext& ctx, int key, int upperLevel, uint32_t upperCount,
               uint32_t lowerCount) {
  std::span<GroupEntry> upper = ctx.Table(GroupTableIndex(key, upperLevel));
  std::span<GroupEntry> lower = ctx.Table(GroupTableIndex(key, upperLevel + 1));
  uint32_t pos = 0;
  uint32_t running = 0;
  for (uint32_t u = 0; u < upperCount; ++u) {
    GroupEntry& parent = upper[u];
    while (pos < lowerCount && lower[pos].firstTrack() != parent.firstTrack()) {
      lower[pos++].SetIndexInParent(running++);
    }
    if (pos >= lowerCount) {
      Trace(ctx, kSiteGroupBuild, 2);
      return 0;
    }
    lower[pos].SetIndexInParent(0);
    parent.SetFirstChild(pos);
    if (u > 0) upper[u - 1].SetCount(pos - upper[u - 1].firstChild());
    running = 1;
    ++pos;
  }
  if (upperCount == 0) return kDone;
  // The last parent's sub-groups run on while they carry its values; each gets its running index
  // like every other parent's sub-groups. What follows belongs to genres without an entry.
  GroupEntry& last = upper[upperCount - 1];
  const int upperAttribute = key + upperLevel;
  uint32_t end = last.firstChild() + 1;
  while (end < lowerCount &&
         SameValues(ctx, key, upperAttribute, lower[end].firstTrack(), last.firstTrack())) {
    lower[end].SetIndexInParent(end - last.firstChild());
    ++end;
  }
  last.SetCount(end - last.firstChild());
  return kDone;
}

// Step 3: the deepest level's first child (position in the sorted list) and count (tracks).
int LinkTracks(LibraryContext& ctx, int key, int level, uint32_t count) {
  std::span<GroupEntry> table = ctx.Table(GroupTableIndex(key, level));
  const auto& list = ctx.sortedLists[key];
  uint32_t pos = 0;
  for (uint32_t e = 0; e < count; ++e) {
    while (pos < ctx.totalTracks && list[pos] != table[e].firstTrack()) ++pos;
    if (pos >= ctx.totalTracks) {
      Trace(ctx, kSiteGroupBuild, 3);
      return 0;
    }
    table[e].SetFirstChild(pos);
    if (e > 0) table[e - 1].SetCount(pos - table[e - 1].firstChild());
  }
  if (count > 0) table[count - 1].SetCount(ctx.totalTracks - table[count - 1].firstChild());
  return kDone;
}

}  // namespace

int BuildGroupTables(LibraryContext& ctx, int key) {
  if (!IsOpen(ctx)) return 0;
  if (key < 0 || key > 2) {
    Trace(ctx, kSiteGroupBuild, 1);
    return 0;
  }
  const int levels = LevelsOfKey(key);
  uint32_t counts[3] = {};
  for (int level = 0; level < levels; ++level) counts[level] = BuildLevel(ctx, key, level);
  for (int level = 0; level + 1 < levels; ++level) {
    if (LinkLevels(ctx, key, level, counts[level], counts[level + 1]) != kDone) return 0;
  }
  return LinkTracks(ctx, key, levels - 1, counts[levels - 1]);
}

uint32_t StoredEntries(const LibraryContext& ctx, int table) {
  std::span<const GroupEntry> entries = ctx.Table(table);
  uint32_t n = 0;
  while (n < entries.size() && entries[n].count() != GroupEntry::kNone21) ++n;
  return n;
}

}  // namespace deltrix::library
