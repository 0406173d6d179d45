#pragma once
// The orbit-determination view as a window: the form of det_form.h on a
// function-view frame. It is the engine's host (CDetermination) with its
// controls on real widgets; the engine, the picking and the improvement
// procedures reach the widgets through the host's calls by control id.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/font.h>

#include "app/form_view.h"
#include "determination/det_form.h"
#include "determination/form_layout.h"
#include "determination/determination_display.h"
#include "determination/view_commands.h"

class wxMenu;
class wxNotebook;
class wxTextCtrl;
class CObsListCtrl;
class CObsStat;
class CEraStat;
class WxControlWindow;

class CDeterminationView : public CFormView, public CDeterminationDisplay {
public:
  explicit CDeterminationView(CChildFrame* frame);
  ~CDeterminationView() override;

  // ---- the function view ----
  void OnInitialUpdate() override;
  void ApplyDeveloperLayout() override;
  void OpenCommandLineFile(const std::string& path) override { OpenObsFile(path); }

  // Reads an observation file into the view (the loading pipeline).
  void OpenObsFile(const std::string& path);
  // The loading commands: open (menu, toolbar, Ctrl+O), the two downloads
  // and "計算をやり直す", with their enabling.
  void BindObsCommands();
  // Where the forecast dialog of this view stands (ForecastPresence).
  int ForecastPresenceOfView() const;
  // Command 154: the variation-amount dialog on the engine's amounts.
  void OnVariationAmountsCommand();
  // Command 32793: the start-element dialog, then the residuals of its elements.
  void OnElementInputCommand();
  // "位置推算へ": the ephemeris view takes the orbit and this frame hides.
  void OnEphemerisButton();
  static bool EphemerisViewAvailable();
  DetCommandState CommandState() const;
  void OnOpenObsFileCommand();
  void OnFetchCommand(int neocp);
  void OnRedoCommand();
  // Commands 144 (save the result in one of four formats) and 32818 (load a
  // solution file).
  void BindResultFileCommands();
  void OnSaveResults();
  void OnLoadSolutionFile();
  void SetObsListItemCount(int count) override;
  void SetViewCaption(const std::string& text) override;
  void RepaintItem(int id) override;

  // ---- controls by id, on the widgets ----
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  int IsChecked(int id) override;
  void SetCheck(int id, int checked) override;
  bool IsItemEnabled(int id) override;
  void EnableItem(int id, bool enable) override;
  bool IsItemVisible(int id) override;
  void ShowItem(int id, bool show) override;
  int GetSelection(int id) override;
  void SetSelection(int id, int index) override;
  EngineWindow* Window(int id) override;

  // ---- operations the engine calls ----
  void UpdateControlsForState(int state) override;
  void EnableImproveButtons(int enable) override;
  void ScrollObsListTo(int index) override;
  void RedrawObsListItem(int index) override;
  void RefreshResidualList(ObservationRecord* obs, int shown) override;

  // ---- the fit diagnostics (open windows or null) ----
  CObsStat* m_pObsStat = nullptr;
  CEraStat* m_pEraStat = nullptr;
  // Commands 32809, 32817 and 32810.
  void BindDiagnosticCommands();
  void OnStationStatsCommand();
  void OnEraStatsCommand();
  void OnNonGravCheckCommand();
  // The open statistics windows refilled.
  void RefillDiagnosticWindows();

  // The widget of a control id; null when the form has none.
  wxWindow* Widget(int id) const;
  CObsListCtrl* ObsList() const { return m_pObsList; }
  // ---- the observation list ----
  // The record of a row; null outside the loaded observations.
  const ObservationRecord* ObsRecord(long row) const;
  std::string ObsCellText(long row, long column) const;
  // Station-bias flag of a row, the row's colour: the statistics are
  // computed here, when the list is painted, not at each residual refresh.
  int ObsBiasFlag(long row);
  // Status-bar text for the row under the mouse.
  std::string ObsHoverStatus(int row);
  // A single click on the list (-1 outside any row): picking.
  void OnObsListClickAt(int row);

  int m_bDevLayout = 1;
  int m_nAiRowHeight = 0;

  // ---- layout (the anchoring and the splitter) ----
  void BuildLayoutTable();
  void ApplyLayout(int width, int height);
  FormLayout& FormAnchors() { return m_layout; }

private:
  void CreateControls();
  wxWindow* CreateControl(const DetFormControl& c);
  void BindControls();
  void ConfigureNumericEdits();
  void ReadRejectThresholds();
  void FillCombos();
  void FillApproachBodies() override;
  void OnPerturbationsBox();
  void OnAutoStopBox();
  // The improvement settings' controls and the option menu.
  void BindSettingsControls();
  void BindOptionCommands();
  void BindViewCommands();
  // The information marks open their help (determination_view_help.cpp).
  void BindInfoMarks();
  void ArrangeOptionMenu();
  void PlaceOptionItems();
  wxMenu* OptionMenu() const;
  // "NEOCPの全天体を走査(&A)..." after "NEOCPから観測データを取得(&N)..." in the
  // file menu in developer mode only.
  void PlaceScanItem();
  int m_nOptionsDeveloper = -1;  // developer mode the option items were placed for
  void OnApproachBodyChange();
  void UpdateWeightColours();
  // Number of observations the list shows.
  int ObservationCount() const;

  void OnObsListDoubleClick(long row);
  void BindListCommands();
  void OnObsContextMenu(wxContextMenuEvent& event);
  void OnObsListCommand(wxCommandEvent& event);
  // The selected rows, in order.
  std::vector<long> SelectedRows() const;
  void DeselectAllRows();
  void BindOptionBoxes();
  void OnParabolicBox();
  void OnAsteroidBox();
  void OnFixEBox();
  void OnExtendedBox();
  void OnSignatureBox();

  void BindLayoutEvents();
  void OnSize(wxSizeEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnSetCursor(wxSetCursorEvent& event);
  void OnDestroy(wxWindowDestroyEvent& event);
  // Client coordinates of the form as designed (unscrolled).
  wxPoint FormPoint(const wxPoint& client) const;
  bool OverNonGravValue(const wxPoint& form) const;

  std::map<int, wxWindow*> m_widgets;
  std::vector<wxWindow*> m_formChildren;  // in z-order, as the layout table holds them
  FormLayout m_layout;
  static constexpr int kScrollMinClient = 120;
  bool m_bScrollSet = false;
  std::map<int, std::unique_ptr<WxControlWindow>> m_windows;
  wxNotebook* m_pTabs = nullptr;
  CObsListCtrl* m_pObsList = nullptr;
  wxFont m_font;
};
