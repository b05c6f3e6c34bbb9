// Every fixed text that a run and its start show the user, for every front-end: the error
// messages, the skip question, the stop question and the start confirmation. Users have always
// read them as they are here, misspellings included, so they are kept to the letter.
#pragma once

#include <string_view>

namespace deltrix::run {

// Errors 1 and 3 to 7 (6 is "[" + the drive + "] is not supported device.").
inline constexpr std::u16string_view kNotRootDirectoryMessage =
    u"Can only create a Library in the Root Directory.";
inline constexpr std::u16string_view kCreateDataFailedMessage =
    u"Error occurred while creating library data.";
inline constexpr std::u16string_view kWriteFileFailedMessage =
    u"Error occurred while writing library file.";
inline constexpr std::u16string_view kMultipleDevicesMessage =
    u"Cannot make the library for multiple devices.";
inline constexpr std::u16string_view kUnsupportedDeviceAfterName = u"] is not supported device.";
inline constexpr std::u16string_view kDeviceRemovedMessage = u"Selected device is removed.";

// Error 2: a file that cannot be read, Skip or Abort.
inline constexpr std::u16string_view kCannotOpenFileMessage =
    u"Canonot open a file.\nSee the processing dialog for the file name.\n"
    u"Skip the file or abort creating the library?";
// The console's prompt under it: Enter or s skips, a skips this file and every later one that
// cannot be read, b aborts.
inline constexpr std::u16string_view kCannotOpenFilePrompt = u"[S]kip, skip [a]ll or a[b]ort? ";

// The stop question, Yes or No.
inline constexpr std::u16string_view kStopQuestion =
    u"Are you sure you want to Stop creating the library?\nThe Library being created will be "
    u"discarded!";

// The start confirmation: one of three messages, then the drive and the language beside these.
inline constexpr std::u16string_view kUpdateMessage =
    u"Are you sure you would like to update the library using these settings?";
inline constexpr std::u16string_view kOverwriteMessage =
    u"A previous Library has been located on the selected drive!\nAre you sure you want to "
    u"overwrite this?";
inline constexpr std::u16string_view kCreateMessage =
    u"Are you sure you would like to create the library using these settings?";
inline constexpr std::u16string_view kSelectedDriveLabel = u"Slected Drive :";
inline constexpr std::u16string_view kTagLanguageLabel = u"ID Tag Language :";

// What a run left out, by reason (run_report.h's order): each follows its count, on the console
// after the finish line and as a heading of the finish dialog's details.
inline constexpr std::u16string_view kLeftOutTexts[] = {
    u"file(s) could not be read and were skipped",
    u"audio file(s) have paths too long for the library",
    u"folder(s) lie deeper than the seven levels the player browses",
    u"audio file(s) lie past the limit of 150000 files",
    u"hidden or system folder(s) were passed over",
    u"folder(s) could not be listed",
    u"folder(s) or audio file(s) have names the card cannot store",
};
// The finish dialog's button that shows what was left out, and its window's heading.
inline constexpr std::u16string_view kDetailsButton = u"Details\u2026";
inline constexpr std::u16string_view kDetailsTitle = u"Left out of the library";
// The last line of a list that holds fewer entries than its count: before and after the rest.
inline constexpr std::u16string_view kDetailsMoreBefore = u"\u2026 and ";
inline constexpr std::u16string_view kDetailsMoreAfter = u" more";

// An update that would remove most of the library asks first: the counts of tracks to remove and
// of tracks in the library go before and after the middle text.
inline constexpr std::u16string_view kRemovalQuestionMiddle = u" of ";
inline constexpr std::u16string_view kRemovalQuestionEnd =
    u" tracks would be removed from the library. Remove them?";
// An update that reads changed files again, when the file times of the last run cannot be used:
// the reason, then kTimesFileSizeOnly.
inline constexpr std::u16string_view kTimesFileMissing =
    u"The file times of the last run are not on the card";
inline constexpr std::u16string_view kTimesFileDamaged =
    u"The file times of the last run on the card are damaged";
inline constexpr std::u16string_view kTimesFileStale =
    u"The file times on the card belong to an older library";
inline constexpr std::u16string_view kTimesFileSizeOnly =
    u": changed files are found by their size alone this time.";

}  // namespace deltrix::run
