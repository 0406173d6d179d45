#include "astro/jpl_eph.h"

CJplEph* g_pJplEph = nullptr;
double g_dJplStart = 0;
double g_dJplEnd = 0;
int g_nJplDeNumber = 0;
static JplHeader s_header{};
CJplEph::CJplEph() {}
CJplEph::~CJplEph() {}
const JplHeader& JplCurrentHeader() { return s_header; }
int JplPosition(double, int, int, double*) { return -2; }
void JplPleph(double, int, int, double*, int& valid) { valid = 0; }
int JplState(double, const int*, double (*)[6]) { return -2; }
void JplInterp(const double*, double, double, int, int, int, int, double*) {}
void JplSplit(double t, double& w, double& f) { w = t; f = 0; }
