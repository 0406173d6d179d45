#pragma once
// The open windows of the subsystems above the engine that others reach: the
// current orbit-determination view and the one tool window of each kind. A
// window enters itself when it is made and leaves when it goes; readers test
// for null. Only pointers live here, so every floor can link it without
// knowing the windows' classes.
class CDetermination;
class CMpDisGraphDlg;
class CGlobeDlg;
class COrbitViewDlg;
class CMagCurveDlg;
class CVisibilityChartDlg;
class CSearchRangeDlg;
class CEphemerides;
class CVaisala;

struct WindowRegistry {
  // The current orbit-determination object; null when none is open.
  CDetermination* m_pDetermination = nullptr;
  CEphemerides* m_pEphemerides = nullptr;
  CVaisala* m_pVaisala = nullptr;
  CMpDisGraphDlg* m_pMpDisGraphDlg = nullptr;
  CGlobeDlg* m_pGlobeDlg = nullptr;
  COrbitViewDlg* m_pOrbitViewDlg = nullptr;
  CMagCurveDlg* m_pMagCurveDlg = nullptr;
  CVisibilityChartDlg* m_pVisibilityChartDlg = nullptr;
  CSearchRangeDlg* m_pSearchRangeDlg = nullptr;
};

// The process's registry.
WindowRegistry& OpenWindows();
