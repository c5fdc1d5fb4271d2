#include "web/feedback_tables.h"

#include <iterator>

namespace halv {
namespace {

// clang-format off
constexpr FeedbackTypeRow kFeedbackTypes[] = {
  // selected              type label              prompt                                            error log
  {"General Feedback",    "General Feedback",    "Please describe the feedback below",            false},
  {"Feature Suggestion",  "Feature Suggestion",  "Please describe the feature suggestion below",  false},
  {"Bug Report",          "Bug Report",          "Please describe the bug or issue below",        true},
  {"Other",               "Other Feedback",      "Please describe the other feedback below",      false},
  {nullptr,               "General Feedback",    "Please describe the feedback below",            true},
};

constexpr const char* kRespondVia[] = {
  "No response necessary",
  "Email",
  "Telephone (morning is best)",
  "Telephone (mid day is best)",
  "Telephone (afternoon is best)",
};
// clang-format on

constexpr int kListedTypes = static_cast<int>(std::size(kFeedbackTypes)) - 1;

}  // namespace

const FeedbackTypeRow& FeedbackTypeFor(int index) {
  return index >= 0 && index < kListedTypes ? kFeedbackTypes[index] : kFeedbackTypes[kListedTypes];
}

QStringList FeedbackTypeEntries() {
  QStringList entries;
  for (int i = 0; i < kListedTypes; ++i) entries << kFeedbackTypes[i].selected;
  return entries;
}

QStringList RespondViaEntries() {
  QStringList entries;
  for (const char* entry : kRespondVia) entries << entry;
  return entries;
}

}  // namespace halv
