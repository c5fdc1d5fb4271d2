#include "protocol/settings_flags.h"

namespace halv {
namespace {

using C = CapturedSettings;
constexpr FlagForm kT = FlagForm::kText;
constexpr FlagForm kN = FlagForm::kNumber;
constexpr FlagForm kS = FlagForm::kSpecial;

}  // namespace

// clang-format off
const SettingsFlagRow kSettingsFlagRows[kFlagBits] = {
// bit setting              read             form  text field         number field       write                  log name
  {0,  "instrument name",   "get -i",        kT, &TextFieldOf<&C::i>,        nullptr,           "set -i %s\r",         "name"},
  {1,  "serial number",     "get -sn",       kS, &TextFieldOf<&C::sn>,       nullptr,           "set -sn %s\r",        "device serial number"},
  {2,  "parameter set",     nullptr,         kS, nullptr,             nullptr,           nullptr,               nullptr},
  {3,  "language",          "get -lang",     kN, nullptr,             &NumberFieldOf<&C::lang>, "set -lang %ld\r",     "device language"},
  {4,  "contrast",          "get -contr",    kN, nullptr,             &NumberFieldOf<&C::contr>,"set -contr %ld\r",    "device contrast"},
  {5,  "fvals",             "get -fvals",    kT, &TextFieldOf<&C::fvals>,    nullptr,           "set -fvals %s\r",     "fvals"},
  {6,  "user values",       nullptr,         kS, &TextFieldOf<&C::uvals>,    nullptr,           "%s %s\r",             "uvals/pvuser"},
  {7,  "units (number)",    "get -units",    kN, nullptr,             &NumberFieldOf<&C::units>,"set -units %ld\r",    "device units"},
  {8,  "adc",               "get -adc",      kT, &TextFieldOf<&C::adc>,      nullptr,           "set -adc %s\r",       "adc"},
  {9,  "interval",          "get -int",      FlagForm::kNumberNoWrite, nullptr, &NumberFieldOf<&C::interval>, nullptr, nullptr},
  {10, "adccal",            "get -adccal",   kT, &TextFieldOf<&C::adccal>,   nullptr,           "set -adccal %s\r",    "adccal"},
  {11, "config",            "get -config",   kT, &TextFieldOf<&C::config>,   nullptr,           "set -config %s\r",    "config"},
  {12, "wtoffset",          "get -wtoffset", kT, &TextFieldOf<&C::wtoffset>, nullptr,           "set -wtoffset %s\r",  "wtoffset"},
  {13, "p1offset",          "get -p1offset", kT, &TextFieldOf<&C::p1offset>, nullptr,           "set -p1offset %s\r",  "p1offset"},
  {14, "auto",              "get -auto",     kT, &TextFieldOf<&C::autosec>,  nullptr,           "set -auto %s\r",      "autosec"},
  {15, "usage",             "get -usage",    kT, &TextFieldOf<&C::usage>,    nullptr,           "set -usage %s\r",     "usage"},
  {16, "unused",            nullptr,         FlagForm::kNone, nullptr, nullptr,          nullptr,               nullptr},
  {17, "wtfactory",         "get -wtfactory",kT, &TextFieldOf<&C::wtfactory>,nullptr,           "set -wtfactory %s\r", "wtfactory"},
  {18, "adc15",             "get -adc15",    kT, &TextFieldOf<&C::adc15>,    nullptr,           "set -adc15 %s\r",     "adc15"},
  {19, "adc30",             "get -adc30",    kT, &TextFieldOf<&C::adc30>,    nullptr,           "set -adc30 %s\r",     "adc30"},
  {20, "sample",            "get -sample",   kS, &TextFieldOf<&C::sample>,   nullptr,           "set -sample %s\r",    "sample"},
  {21, "calibration list",  nullptr,         kS, nullptr,             nullptr,           "set %s%d %s\r",       "cal %d"},
  {22, "p",                 "get -p",        kS, &TextFieldOf<&C::fvals>,    nullptr,           "set -p %s\r",         "-p"},
  {23, "units (text)",      "get -units",    kT, &TextFieldOf<&C::units_text>,nullptr,          "set -units %s\r",     "pcUnits"},
  {24, "location",          "get -loc",      kT, &TextFieldOf<&C::loc>,      nullptr,           "set -loc %s\r",       "location"},
  {25, "x",                 "get -x",        kT, &TextFieldOf<&C::x>,        nullptr,           "set -x %s\r",         "chai"},
  {26, "ext",               "get -ext",      kT, &TextFieldOf<&C::ext>,      nullptr,           "set -ext %s\r",       "ext"},
  {27, "user records",      nullptr,         kS, nullptr,             nullptr,           "reset -users\r",      nullptr},
  {28, "equation records",  nullptr,         kS, nullptr,             nullptr,           "reset -eqn\r",        nullptr},
  {29, "tadj",              "get -tadj",     kT, &TextFieldOf<&C::tadj>,     nullptr,           "set -tadj %s\r",      "tadj"},
  {30, "hadj and tau",      "get -hadj",     kS, &TextFieldOf<&C::hadj>,     nullptr,           "set -hadj %s\r",      "hadj"},
  {31, "sys",               "get -sys",      kT, &TextFieldOf<&C::sys>,      nullptr,           "set -sys %s\r",       "sys"},
};
// clang-format on

const uint8_t kCaptureOrder[31] = {3,  1,  4, 11, 5,  6, 7,  8,  20, 15, 9,  10, 12, 17, 13, 31,
                                   14, 23, 0, 18, 19, 2, 21, 24, 25, 26, 28, 27, 29, 30, 22};
const uint8_t kRestoreOrder[30] = {1,  3,  4, 5,  11, 6, 7,  8,  20, 15, 10, 12, 17, 13, 31,
                                   14, 23, 0, 18, 19, 2, 21, 24, 25, 26, 29, 30, 22, 28, 27};

}  // namespace halv
