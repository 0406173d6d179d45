#include "app/option_sheet.h"

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/ephemeris_download.h"
#include "app/option_rules.h"
#include "app/tessarune_wx_app.h"
#include "data/comet_list.h"
#include "data/ui/file_dialogs.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "data/http_download.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "engine/ui/dbg_dlg.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"
#include "resources/info_topics.h"
#include "resources/option_strings.h"

namespace {

enum {
  IDC_DATADIR = 1228, IDC_DATADIR_BROWSE = 1229, IDC_OBSFOLDER = 1090, IDC_OBSFOLDER_BROWSE = 1088,
  IDC_SIGNATURE = 1152, IDC_CO2R0 = 1324, IDC_NGDT = 1329,
  IDC_DE406FILE = 1089, IDC_DE406FILE_BROWSE = 1423, IDC_FTPSERVER = 1200, IDC_FTPPATH = 1201, IDC_DE441URL = 1488,
  IDC_FTPSERVER_DEFAULT = 1490, IDC_FTPPATH_DEFAULT = 1491, IDC_DE441URL_DEFAULT = 1492, IDC_EPH_DOWNLOAD = 1279,
  IDC_MPEPH_REBUILD = 1501,
  IDC_STATIONS = 1425, IDC_STATIONS_BROWSE = 1427, IDC_OBSCODESURL = 1212, IDC_STATIONS_DOWNLOAD = 1280,
  IDC_OBSCODESURL_DEFAULT = 1493, IDC_MPCORB = 1281, IDC_MPCORB_BROWSE = 1282, IDC_MPCORBURL = 1283,
  IDC_MPCORB_DOWNLOAD = 1284, IDC_MPCORBURL_DEFAULT = 1494, IDC_COMETURL = 1285, IDC_COMET_DOWNLOAD = 1286,
  IDC_COMETURL_DEFAULT = 1495, IDC_MPC_PROGRESS = 1287, IDC_MPC_STATUS = 1288, IDC_MPC_ABORT = 1289,
  IDC_EPHDIR = 1395, IDC_EPHDIR_BROWSE = 1394, IDC_MIGRATE = 1391, IDC_MIGRATE_STATUS = 1392,
  IDC_EPH_INFO = 1412, IDC_LOC_INFO = 1410,
};

constexpr int kEditWidth = 380;

wxStaticText* Label(wxWindow* parent, wxSizer* sizer, const char* text)
{
  auto* label = new wxStaticText(parent, wxID_ANY, ToWx(text));
  sizer->Add(label, 0, wxLEFT | wxRIGHT | wxTOP, 4);
  return label;
}

wxButton* Button(wxWindow* parent, wxSizer* sizer, int id, const char* text)
{
  auto* button = new wxButton(parent, id, ToWx(text));
  sizer->Add(button, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
  return button;
}

// An edit with its buttons in one row.
wxBoxSizer* EditRow(wxWindow* parent, wxSizer* sizer, int id, const std::string& text, int width = kEditWidth)
{
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxTextCtrl(parent, id, ToWx(text), wxDefaultPosition, wxSize(width, -1)), 0,
           wxALIGN_CENTER_VERTICAL);
  sizer->Add(row, 0, wxLEFT | wxRIGHT | wxTOP, 4);
  return row;
}

wxStaticBoxSizer* Group(wxWindow* parent, wxSizer* sizer, const char* title)
{
  auto* group = new wxStaticBoxSizer(wxVERTICAL, parent, ToWx(title));
  sizer->Add(group, 0, wxEXPAND | wxALL, 4);
  return group;
}

void Notify(const std::string& text, MsgIcon icon = MsgIcon::None)
{
  if (!text.empty())
    Ui().ShowMessage(AppText::kAppTitle, text, icon, MsgButtons::Ok);
}

} // namespace

// ---- COptionPage ----

COptionPage::COptionPage(COption* sheet, wxWindow* parent) : wxPanel(parent), m_sheet(sheet)
{
}

void COptionPage::EnsureBuilt()
{
  if (m_built)
    return;
  m_built = true;
  Build();
  Layout();
}

wxTextCtrl* COptionPage::Edit(int id) const
{
  return dynamic_cast<wxTextCtrl*>(FindWindow(id));
}

std::string COptionPage::Text(int id) const
{
  wxTextCtrl* edit = Edit(id);
  return edit ? FromWx(edit->GetValue()) : std::string();
}

void COptionPage::SetText(int id, const std::string& text)
{
  if (wxTextCtrl* edit = Edit(id))
    edit->ChangeValue(ToWx(text));
}

void COptionPage::BrowseFolder(int editId)
{
  std::string folder = Text(editId).substr(0, 500);
  if (BrowseFolderCallback(this, folder) == 1)
    SetText(editId, folder);
}

void COptionPage::BrowseFile(int editId, const char* title)
{
  const std::string path = Text(editId).substr(0, 260);
  const size_t slash = path.rfind('/');
  wxFileDialog dlg(this, ToWx(title), slash == std::string::npos ? wxString() : ToWx(path.substr(0, slash)),
                   ToWx(slash == std::string::npos ? path : path.substr(slash + 1)), "*",
                   wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dlg.ShowModal() == wxID_OK)
    SetText(editId, FromWx(dlg.GetPath()));
}

// ---- basic page ----

void COptionPageBasic::Build()
{
  const BasicPageFields f = InitialBasicPage(TheApp());
  auto* top = new wxBoxSizer(wxVERTICAL);
  Label(this, top, OptionText::kDataDirLabel);
  Button(this, EditRow(this, top, IDC_DATADIR, f.dataDir), IDC_DATADIR_BROWSE, OptionText::kBrowse);
  Label(this, top, OptionText::kDataDirNote);
  Label(this, top, OptionText::kObsFolderLabel);
  Button(this, EditRow(this, top, IDC_OBSFOLDER, f.obsFolder), IDC_OBSFOLDER_BROWSE, OptionText::kBrowse);
  Label(this, top, OptionText::kSignatureLabel);
  EditRow(this, top, IDC_SIGNATURE, f.signature, 200);
  Edit(IDC_SIGNATURE)->SetMaxLength(kSignatureMaxChars);
  Label(this, top, OptionText::kSignatureNote);
  wxStaticBoxSizer* group = Group(this, top, OptionText::kNonGravGroup);
  wxWindow* box = group->GetStaticBox();
  Label(box, group, OptionText::kCo2Label);
  Label(box, EditRow(box, group, IDC_CO2R0, f.co2R0, 80), OptionText::kCo2Note);
  Label(box, group, OptionText::kDtLabel);
  Label(box, EditRow(box, group, IDC_NGDT, f.ngDt, 80), OptionText::kDtNote);
  Label(box, group, OptionText::kNonGravNote1);
  Label(box, group, OptionText::kNonGravNote2);
  SetSizer(top);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFolder(IDC_DATADIR); }, IDC_DATADIR_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFolder(IDC_OBSFOLDER); }, IDC_OBSFOLDER_BROWSE);
}

void COptionPageBasic::OnOK()
{
  for (const std::string& notice : ApplyBasicPage(TheApp(), {Text(IDC_DATADIR), Text(IDC_OBSFOLDER),
                                                             Text(IDC_SIGNATURE), Text(IDC_CO2R0), Text(IDC_NGDT)}))
    Notify(notice);
}

// ---- planetary page ----

void COptionPageEph::Build()
{
  const EphPageFields f = InitialEphPage(TheApp());
  auto* top = new wxBoxSizer(wxVERTICAL);
  wxStaticBoxSizer* group = Group(this, top, OptionText::kEphGroup);
  wxWindow* box = group->GetStaticBox();
  group->Add(new CInfoMark(box, IDC_EPH_INFO), 0, wxALIGN_RIGHT | wxRIGHT, 4);
  Label(box, group, OptionText::kEphFileLabel);
  Button(box, EditRow(box, group, IDC_DE406FILE, f.de406File), IDC_DE406FILE_BROWSE, OptionText::kBrowse);
  Label(box, group, OptionText::kFtpServerLabel);
  Button(box, EditRow(box, group, IDC_FTPSERVER, f.ftpServer), IDC_FTPSERVER_DEFAULT, OptionText::kDefault);
  Label(box, group, OptionText::kFtpPathLabel);
  Button(box, EditRow(box, group, IDC_FTPPATH, f.ftpPath), IDC_FTPPATH_DEFAULT, OptionText::kDefault);
  Label(box, group, OptionText::kDe441UrlLabel);
  Button(box, EditRow(box, group, IDC_DE441URL, f.de441Url), IDC_DE441URL_DEFAULT, OptionText::kDefault);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxButton(box, IDC_EPH_DOWNLOAD, ToWx(OptionText::kEphDownload)), 0, wxALIGN_CENTER_VERTICAL);
  Label(box, row, OptionText::kEphDownloadNote);
  group->Add(row, 0, wxALL, 4);
  // The developer's rebuild of the perturbing-asteroid file: hidden from
  // users, shown in developer mode, where nothing else would reach it.
  // In the group's layout (a hidden one takes no room): a button left out of
  // the sizers stood at the group's corner, over the first label.
  auto* rebuild = new wxButton(box, IDC_MPEPH_REBUILD, ToWx(OptionText::kMpephRebuild));
  group->Add(rebuild, 0, wxALL, 4);
  rebuild->Show(TheApp().m_bDeveloper != 0);
  SetSizer(top);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFile(IDC_DE406FILE, OptionText::kEphFileTitle); },
       IDC_DE406FILE_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_FTPSERVER, kDefaultDe406FtpServer); },
       IDC_FTPSERVER_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_FTPPATH, kDefaultDe406FtpPath); }, IDC_FTPPATH_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_DE441URL, kDefaultDe441Url); }, IDC_DE441URL_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunPlanetaryDownloadDialog(this); }, IDC_EPH_DOWNLOAD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunDbgDialog(this); }, IDC_MPEPH_REBUILD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kTopicPlanetaryFile.title, kTopicPlanetaryFile.text, this); },
       IDC_EPH_INFO);
}

void COptionPageEph::OnOK()
{
  if (ApplyEphPage(TheApp(), {Text(IDC_DE406FILE), Text(IDC_FTPSERVER), Text(IDC_FTPPATH), Text(IDC_DE441URL)}) &&
      !RebuildPlanetaryReader())
    Notify(OptionText::kEphReadFailed, MsgIcon::Warning);
}

// ---- MPC page ----

void COptionPageMpc::Build()
{
  const MpcPageFields f = InitialMpcPage(TheApp());
  auto* top = new wxBoxSizer(wxVERTICAL);
  wxStaticBoxSizer* group = Group(this, top, OptionText::kStationsGroup);
  wxWindow* box = group->GetStaticBox();
  Button(box, EditRow(box, group, IDC_STATIONS, f.stationsFile), IDC_STATIONS_BROWSE, OptionText::kBrowse);
  Label(box, group, OptionText::kUrlLabel);
  wxBoxSizer* row = EditRow(box, group, IDC_OBSCODESURL, f.obsCodesUrl);
  Button(box, row, IDC_STATIONS_DOWNLOAD, OptionText::kStationsDownload);
  Button(box, row, IDC_OBSCODESURL_DEFAULT, OptionText::kDefault);

  group = Group(this, top, OptionText::kMpcorbGroup);
  box = group->GetStaticBox();
  Button(box, EditRow(box, group, IDC_MPCORB, f.mpcorbFile), IDC_MPCORB_BROWSE, OptionText::kBrowse);
  Label(box, group, OptionText::kUrlLabel);
  row = EditRow(box, group, IDC_MPCORBURL, f.mpcorbUrl);
  Button(box, row, IDC_MPCORB_DOWNLOAD, OptionText::kMpcorbDownload);
  Button(box, row, IDC_MPCORBURL_DEFAULT, OptionText::kDefault);
  Label(box, group, OptionText::kMpcorbNote);

  group = Group(this, top, OptionText::kCometGroup);
  box = group->GetStaticBox();
  Label(box, group, OptionText::kUrlLabel);
  row = EditRow(box, group, IDC_COMETURL, f.cometElsUrl);
  Button(box, row, IDC_COMET_DOWNLOAD, OptionText::kCometDownload);
  Button(box, row, IDC_COMETURL_DEFAULT, OptionText::kDefault);
  Label(box, group, OptionText::kCometNote);

  m_status = new wxStaticText(this, IDC_MPC_STATUS, wxString(), wxDefaultPosition, wxSize(kEditWidth, -1),
                              wxST_NO_AUTORESIZE);
  top->Add(m_status, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 4);
  row = new wxBoxSizer(wxHORIZONTAL);
  m_progress = new wxGauge(this, IDC_MPC_PROGRESS, 100, wxDefaultPosition, wxSize(kEditWidth, -1));
  row->Add(m_progress, 1, wxALIGN_CENTER_VERTICAL);
  Button(this, row, IDC_MPC_ABORT, OptionText::kAbort)->Disable();
  top->Add(row, 0, wxEXPAND | wxALL, 4);
  SetSizer(top);

  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFile(IDC_STATIONS, OptionText::kStationsTitle); },
       IDC_STATIONS_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFile(IDC_MPCORB, OptionText::kMpcorbTitle); },
       IDC_MPCORB_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_OBSCODESURL, kDefaultObsCodesUrl); },
       IDC_OBSCODESURL_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_MPCORBURL, kDefaultMpcorbUrl); }, IDC_MPCORBURL_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SetText(IDC_COMETURL, kDefaultCometElsUrl); }, IDC_COMETURL_DEFAULT);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnStationDownload(); }, IDC_STATIONS_DOWNLOAD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCatalogueDownload(); }, IDC_MPCORB_DOWNLOAD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCometDownload(); }, IDC_COMET_DOWNLOAD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_nAbort = 1; }, IDC_MPC_ABORT);
}

void COptionPageMpc::OnOK()
{
  ApplyMpcPage(TheApp(), {Text(IDC_STATIONS), Text(IDC_OBSCODESURL), Text(IDC_MPCORB), Text(IDC_MPCORBURL),
                          Text(IDC_COMETURL)});
}

void COptionPageMpc::SetBusy(bool busy)
{
  m_busy = busy;
  for (int id : {IDC_STATIONS_BROWSE, IDC_MPCORB_BROWSE, IDC_STATIONS_DOWNLOAD, IDC_MPCORB_DOWNLOAD,
                 IDC_COMET_DOWNLOAD, IDC_OBSCODESURL_DEFAULT, IDC_MPCORBURL_DEFAULT, IDC_COMETURL_DEFAULT})
    if (wxWindow* w = FindWindow(id))
      w->Enable(!busy);
  FindWindow(IDC_MPC_ABORT)->Enable(busy);
  m_sheet->Lock(busy);
}

void COptionPageMpc::OnStationDownload()
{
  PrepareStationDownload(TheApp(), Text(IDC_STATIONS), Text(IDC_OBSCODESURL));
  if (CDetermination* det = CurrentDetermination())
    det->UpdateStationCodes();
}

void COptionPageMpc::OnCatalogueDownload()
{
  const std::string path = MpcorbPathOrDefault(TheApp(), Text(IDC_MPCORB));
  const std::string url = UrlOrDefault(Text(IDC_MPCORBURL), kDefaultMpcorbUrl);
  SetText(IDC_MPCORB, path);
  SetText(IDC_MPCORBURL, url);
  if (Ui().ShowMessage(OptionText::kDownloadCaption,
                       FormatC(OptionText::kMpcorbQuestion, url.c_str(), path.c_str()), MsgIcon::Information,
                       MsgButtons::OkCancel) != MsgAnswer::Ok)
    return;
  CTessaruneApp& app = TheApp();
  app.WriteProfileString(kSettingsSection, "WHOIS_MPCORB", path.c_str());
  app.WriteProfileString(kSettingsSection, "WHOIS_MPCORBURL", url.c_str());
  m_nAbort = 0;
  SetBusy(true);
  DownloadProgress progress;
  progress.setPosition = [this](int percent) { m_progress->SetValue(percent); };
  progress.setText = [this](const std::string& text) { m_status->SetLabel(ToWx(text)); };
  std::string error;
  if (CTessaruneLib::DownloadToFile(url, path, "MPCORB.DAT", &progress, &m_nAbort, &error)) {
    m_status->SetLabel(ToWx(OptionText::kMpcorbDone));
  } else {
    m_status->SetLabel(wxString());
    m_progress->SetValue(0);
    Notify(error);
  }
  SetBusy(false);
}

void COptionPageMpc::OnCometDownload()
{
  const std::string url = UrlOrDefault(Text(IDC_COMETURL), kDefaultCometElsUrl);
  SetText(IDC_COMETURL, url);
  TheApp().WriteProfileString(kSettingsSection, "COMETELSURL", url.c_str());
  m_nAbort = 0;
  SetBusy(true);
  m_status->SetLabel(ToWx(OptionText::kCometReceiving));
  m_status->Update();
  // The 中止 button reaches a slow or silent server as it does the catalogue's.
  DownloadProgress progress;
  progress.setText = [this](const std::string& text) { m_status->SetLabel(ToWx(text)); };
  TransferControl control;
  control.progress = &progress;
  control.stop = PumpingStop(&m_nAbort);
  if (DownloadCometElements(nullptr, &control)) {
    LoadCometNames();
    m_status->SetLabel(ToWx(OptionText::kCometDone));
  } else {
    m_status->SetLabel(wxString());
    Notify(OptionText::kCometFailed);
  }
  SetBusy(false);
}

// ---- data-locations page ----

void COptionPageLoc::Build()
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  wxStaticBoxSizer* group = Group(this, top, OptionText::kInUseGroup);
  wxWindow* box = group->GetStaticBox();
  auto* grid = new wxFlexGridSizer(2, 2, 8);
  for (int i = 0; i < 5; ++i) {
    grid->Add(new wxStaticText(box, wxID_ANY, ToWx(OptionText::kInUseLabels[i])));
    m_lines[i] = new wxStaticText(box, wxID_ANY, wxString());
    grid->Add(m_lines[i]);
  }
  group->Add(grid, 0, wxALL, 4);
  Label(this, top, OptionText::kEphDirLabel);
  Button(this, EditRow(this, top, IDC_EPHDIR, TheApp().m_szEphDir), IDC_EPHDIR_BROWSE, OptionText::kBrowse);
  group = Group(this, top, OptionText::kMigrateGroup);
  box = group->GetStaticBox();
  group->Add(new CInfoMark(box, IDC_LOC_INFO), 0, wxALIGN_RIGHT | wxRIGHT, 4);
  for (const char* line : OptionText::kMigrateLines)
    Label(box, group, line);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxButton(box, IDC_MIGRATE, ToWx(OptionText::kMigrateButton)), 0, wxALIGN_CENTER_VERTICAL);
  m_status = new wxStaticText(box, IDC_MIGRATE_STATUS, wxString());
  row->Add(m_status, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, 8);
  group->Add(row, 0, wxEXPAND | wxALL, 4);
  SetSizer(top);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseFolder(IDC_EPHDIR); }, IDC_EPHDIR_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { MigrateToDocuments(); }, IDC_MIGRATE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kTopicTwoFolders.title, kTopicTwoFolders.text, this); },
       IDC_LOC_INFO);
}

static std::string MigrationTargetInUse()
{
  return MigrationTarget(wxGetApp().DocumentsFolderInUse());
}

void COptionPageLoc::Refill()
{
  const CTessaruneApp& app = TheApp();
  const std::string lines[5] = {app.m_profile.Path(), app.m_szDataDir, app.m_szEphDir, app.m_szObsFolder,
                                app.m_szStationsFile};
  for (int i = 0; i < 5; ++i)
    m_lines[i]->SetLabel(ToWx(lines[i]));
  const MigrationStatus status = MigrationStatusOf(app, MigrationTargetInUse());
  FindWindow(IDC_MIGRATE)->Enable(status.enabled);
  m_status->SetLabel(ToWx(status.text));
  Layout();
}

void COptionPageLoc::OnActivated()
{
  Refill();
}

void COptionPageLoc::OnOK()
{
  Notify(ApplyLocPage(TheApp(), Text(IDC_EPHDIR)));
}

void COptionPageLoc::MigrateToDocuments()
{
  CTessaruneApp& app = TheApp();
  const std::optional<MigrationPlan> plan = PlanMigration(app, MigrationTargetInUse());
  if (!plan)
    return;
  if (Ui().ShowMessage(OptionText::kMigrateCaption, MigrationQuestion(*plan), MsgIcon::Question,
                       MsgButtons::OkCancel) != MsgAnswer::Ok)
    return;
  app.DoWaitCursor(1);
  const MigrationResult result = RunMigration(app, *plan);
  app.DoWaitCursor(-1);
  Refill();
  Ui().ShowMessage(OptionText::kMigrateCaption, result.message, result.done ? MsgIcon::Information : MsgIcon::Error,
                   MsgButtons::Ok);
}

// ---- the sheet ----

COption::COption(wxWindow* parent)
{
  Create(parent, wxID_ANY, ToWx(OptionText::kSheetCaption));
  CreateButtons(wxOK | wxCANCEL);
  if (wxWindow* cancel = FindWindow(wxID_CANCEL))
    cancel->SetLabel(ToWx(OptionText::kCancel));
  wxBookCtrlBase* book = GetBookCtrl();
  m_pageBasic = new COptionPageBasic(this, book);
  m_pageEph = new COptionPageEph(this, book);
  m_pageMpc = new COptionPageMpc(this, book);
  m_pageLoc = new COptionPageLoc(this, book);
  COptionPage* pages[] = {m_pageBasic, m_pageEph, m_pageMpc, m_pageLoc};
  for (int i = 0; i < 4; ++i)
    book->AddPage(pages[i], ToWx(OptionText::kPageTitles[i]));
  // The first page is shown at once; the others are built when first chosen.
  m_pageBasic->EnsureBuilt();
  book->Bind(wxEVT_BOOKCTRL_PAGE_CHANGING, [this](wxBookCtrlEvent& e) {
    if (m_locked)
      e.Veto();
    else
      e.Skip();
  });
  book->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, [this, book](wxBookCtrlEvent& e) {
    if (auto* page = dynamic_cast<COptionPage*>(book->GetPage(static_cast<size_t>(e.GetSelection())))) {
      page->EnsureBuilt();
      page->OnActivated();
    }
    e.Skip();
  });
  Bind(wxEVT_BUTTON, &COption::OnOK, this, wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { if (!m_locked) e.Skip(); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if (m_locked && e.CanVeto())
      e.Veto();
    else
      e.Skip();
  });
  LayoutDialog();
  SetMinSize(wxSize(760, 560));
  Fit();
  Centre();
}

void COption::Lock(bool locked)
{
  m_locked = locked;
  for (int id : {wxID_OK, wxID_CANCEL})
    if (wxWindow* w = FindWindow(id))
      w->Enable(!locked);
}

void COption::OnOK(wxCommandEvent& event)
{
  if (m_locked)
    return;
  for (COptionPage* page : {static_cast<COptionPage*>(m_pageBasic), static_cast<COptionPage*>(m_pageEph),
                            static_cast<COptionPage*>(m_pageMpc), static_cast<COptionPage*>(m_pageLoc)})
    if (page->Built())
      page->OnOK();
  event.Skip();
}

void RunOptionSheet(wxWindow* parent)
{
  // A calculation pumps events: the OK step could free the planetary reader under it.
  if (CurrentCalculationRunning()) {
    Ui().ShowMessage(AppText::kAppTitle, kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  COption sheet(parent);
  sheet.ShowModal();
}
