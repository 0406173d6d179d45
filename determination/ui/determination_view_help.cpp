// The view's nine information marks: the three-observation selection opens
// its illustrated page, the others their topics in the information window.
#include "app/help_pages.h"
#include "data/ui/info_help.h"
#include "determination/det_form.h"
#include "determination/ui/determination_view.h"
#include "platform/app_services.h"
#include "resources/info_topics.h"

void CDeterminationView::BindInfoMarks()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowPrepareHelp(this); }, kIdMarkPick);
  struct MarkTopic {
    int id;
    const InfoTopic& topic;
  };
  static const MarkTopic kMarks[] = {
      {kIdMarkOrbit, kTopicOrbitImprovement}, {kIdMarkPerturbations, kTopicPerturbation},
      {kIdMarkNonGrav, kTopicNonGrav},        {kIdMarkFixE, kTopicFixEcc},
      {kIdMarkReject, kTopicReject},          {kIdMarkStep, kTopicStep},
      {kIdMarkEpoch, kTopicEpoch},
  };
  for (const MarkTopic& m : kMarks)
    Bind(wxEVT_BUTTON, [this, &m](wxCommandEvent&) { ShowInfoHelp(m.topic.title, m.topic.text, this); }, m.id);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    ShowInfoHelp(kTopicImproveButtons.title, ImproveButtonsText(TheApp().m_bDeveloper != 0), this);
  }, kIdMarkImprove);
}
