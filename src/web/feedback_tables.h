// The fixed lists and limits of the feedback window.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace halv {

// What the feedback type list offers, and what choosing it sets.
struct FeedbackTypeRow {
  const char* selected;  // the list entry; null for "nothing selected"
  const char* type_label;
  const char* prompt;
  bool check_error_log;
};

// The row of a list entry; the "nothing selected" row for -1 or anything else.
const FeedbackTypeRow& FeedbackTypeFor(int index);
QStringList FeedbackTypeEntries();

// The respond-via list, in order; "Email" is selected at every showing.
QStringList RespondViaEntries();
inline constexpr int kRespondViaEmail = 1;
inline constexpr const char* kNoResponseNecessary = "No response necessary";

// A picked file may be sent up to 6 MB (of 1048576 bytes).
inline constexpr int64_t kMaxSendFileBytes = 6291456;
// The progress bar shows only for uploads above 2 MB.
inline constexpr int64_t kProgressShownAbove = 2097152;
// What is left of the error log before it is sent.
inline constexpr uint32_t kLogBytesSent = 32768;
// The longest feedback text.
inline constexpr int kMaxDescriptionChars = 2048;

inline constexpr const char* kFeedbackPath = "/php-bin/app_feedback.php";
// The feedback script's last words when it has sent the mail.
inline constexpr const char* kScriptCompleted = "Script Completed";

}  // namespace halv
