#pragma once
// The Väisälä view "バイサラ軌道計算" on wxWidgets: the lists, the text pane and
// the epoch field of the headless CVaisala, refilled after every operation.
#include <functional>

#include <wx/font.h>

#include "app/form_view.h"
#include "ephemeris/vaisala.h"

class wxListBox;
class wxRadioButton;
class wxTextCtrl;

class CVaisalaView : public CFormView, public CVaisala {
public:
  enum {
    IDC_CANDIDATES = 1429,
    IDC_TEXT = 1000,
    IDC_RESIDUALS = 1057,
    IDC_EPOCH = 1193,
    IDC_ELLIPTIC = 1191,
    IDC_PARABOLIC = 1444,
    IDC_HELP_VAISALA = 1404,
    IDC_HELP_RANGE = 1405,
  };

  explicit CVaisalaView(CChildFrame* frame);
  ~CVaisalaView() override;

  void OnInitialUpdate() override;

  bool AskObsFile(std::string& path) override;
  void SetFrameTitle(const std::string& title) override;
  void ShowResults() override;

  wxListBox* Candidates() const { return m_pCandidates; }
  wxListBox* Residuals() const { return m_pResiduals; }
  wxTextCtrl* TextPane() const { return m_pText; }
  wxRadioButton* Radio(bool parabolic) const { return parabolic ? m_pParabolic : m_pElliptic; }

private:
  void BuildControls();
  void BindCommands();
  // "位置推算(&E)" from this view: the chosen orbit to the ephemeris view,
  // which takes this frame's place until it closes.
  void OnEphemerides();

  wxFont m_font;
  wxListBox* m_pCandidates = nullptr;
  wxListBox* m_pResiduals = nullptr;
  wxTextCtrl* m_pText = nullptr;
  wxTextCtrl* m_pEpoch = nullptr;
  wxRadioButton* m_pElliptic = nullptr;
  wxRadioButton* m_pParabolic = nullptr;
};

// The view's template, registered with the shell; call before the
// application starts. closeToolWindows runs before a new view is made: the
// view takes the place of the orbit diagram, the globe, the magnitude curve
// and the observing-season chart.
void RegisterVaisalaView(std::function<void()> closeToolWindows);
