#pragma once
// Runs the whole program (start-up, the real main loop, shutdown) in the test
// process, on a temporary data folder with message boxes recorded, and plays
// a script of steps from inside the loop: each step runs when the loop is
// idle and may wait for a condition before the next one starts. Commands are
// posted as menu events to the main frame, clicks are simulated with the
// pointer; nothing calls a handler directly.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui_services.h"

class CTessaruneWxApp;
class CDeterminationView;
class wxBookCtrlBase;
class wxMenuBar;
class wxWindow;

struct ViewStep {
  std::string name;
  std::function<void()> run;
  // The next step starts once this holds (immediately when empty).
  std::function<bool()> until;
  double timeoutSeconds = 30;
  // The step lasts at least this long (a pause before the next one).
  double minSeconds = 0;
};

// Message boxes recorded, not shown; with m_bRealEvents the engine's long
// loops dispatch the program's events through the window implementation, as
// in the running program (else they dispatch none).
class ViewSessionUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override;
  bool m_bRealEvents = false;
};

class ViewSession {
public:
  // The settings file beside a pretended executable in a fresh folder, with
  // the planetary file and the station list of the shared data.
  explicit ViewSession(const std::string& tag);

  // Runs the program with the arguments after the program name; plays the
  // steps, then closes the main frame. False when the program did not start.
  bool Run(const std::vector<std::string>& args, std::vector<ViewStep> steps);

  // ---- for the steps ----
  static CDeterminationView* View();
  // Posts a menu command to the main frame, as a menu click does.
  static void PostCommand(int id);
  // Steps that scroll row of the observation list into view and then move the
  // pointer onto it and click (once, or twice for a double click).
  static std::vector<ViewStep> ClickObsRowSteps(int row, std::function<bool()> until, int clicks = 1);
  // Steps from the start on an observation file (a file of 2015 AB) to a long
  // automatic improvement running: three observations picked, a step of 11
  // minutes typed, "自動(&A)" clicked.
  static std::vector<ViewStep> LongImprovementSteps();
  // A step that waits for the start-up orbit-determination view on screen,
  // closes its frame and waits until it is gone: the first state of the
  // tests of the other function views, which open only with none visible.
  static ViewStep CloseStartUpViewStep();
  // Steps that click the middle of a control of the view (a button, a check box).
  static std::vector<ViewStep> ClickControlSteps(int id, std::function<bool()> until);
  // Steps that click the tab of the view's tab control.
  static std::vector<ViewStep> ClickTabSteps(int page, std::function<bool()> until);
  // Clicks the tab of a page of a notebook or property sheet on screen.
  static void ClickBookTab(wxBookCtrlBase* book, int page);
  // The menus on screen: the active view's, else the main frame's.
  static wxMenuBar* ShownMenuBar();
  // Clicks the title of the menu pos (0 the first) on screen, which opens it.
  static void ClickMenuTitle(int pos);
  // Whether the item of a command is on screen in an open menu.
  static bool MenuItemShown(int id);
  // A step that clicks the title of menu pos until its item id is on screen
  // (a window manager may take a first click for itself).
  static ViewStep OpenMenuStep(int pos, int id);
  // Clicks the item of a command in the open menu on screen.
  static void ClickMenuItem(int id);
  // Clicks the main frame's toolbar button of a command.
  static void ClickTool(int id);
  // Moves the pointer onto the button id of a window (a dialog) and clicks;
  // nothing when there is no such button.
  static void ClickButtonOf(wxWindow* window, int id);
  // The steps that timed out, joined by "; " (empty when none did).
  std::string FailedSteps() const;
  // PNG of a window's screen area into the screenshot folder; the path.
  static std::string SaveScreenshot(wxWindow* window, const std::string& name);

  // PNG of the whole screen (open menus included); the path.
  static std::string SaveScreen(const std::string& name);

  // A key of the settings file's "SYSTEM" section ("<none>" when absent).
  std::string Setting(const char* key) const;

  std::string m_dir;
  ViewSessionUi m_ui;
  std::vector<std::string> m_failures;  // steps that timed out
  std::vector<std::string> m_log;       // steps as they ran
};

// The folder for screenshots (created), ending in "/".
std::string ScreenshotDir();
