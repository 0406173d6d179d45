#pragma once
// The magnitude curve's five information marks: their titles and texts
// (texts in resources/info_topics.h).
#include "resources/info_topics.h"

struct MagCurveHelpTopic {
  int markId;
  const char* title;
  const char* text;
};

inline constexpr MagCurveHelpTopic kMagCurveHelp[] = {
    {1396, kTopicMagLaw.title, kTopicMagLaw.text},
    {1397, kTopicMagKind.title, kTopicMagKind.text},
    {1398, kTopicMagCompare.title, kTopicMagCompare.text},
    {1399, kTopicMagUsed.title, kTopicMagUsed.text},
    {1486, kTopicMagNucleus.title, kTopicMagNucleus.text},
};
