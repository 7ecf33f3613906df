// The program INI as the settings module reads it: at start, and the model and Multi sections on demand.

#include "FuzzTarget.h"

#include "common/ByteDisplay.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"

namespace {

// Each read on its own: a conversion error ends that read only, as at the callers.
template <class Read>
void Guarded(Read read)
{
    try {
        read();
    } catch (const HexConvertError &) {
    }
}

} // namespace

FUZZ_TARGET(settings_ini)
{
    fuzz::WriteFile("CORVANE.INI", data);
    Settings = TCVSetup {};
    Guarded([] { InitSettings(fuzz::WorkDir() + "/corvane"); });
    FUZZ_CHECK(Settings.AutoBaudCount >= 0 && Settings.AutoBaudCount <= kAutoBaudMax);
    FUZZ_CHECK(Settings.Language.size() == 1);
    FUZZ_CHECK(!Settings.LanguageList.empty());

    // What the program writes back reads back the same, in whatever form the file came.
    const TCVSetup read = Settings;
    WriteSettings();
    Settings = TCVSetup {};
    Guarded([] { InitSettings(fuzz::WorkDir() + "/corvane"); });
    FUZZ_CHECK(Settings.Port == read.Port && Settings.Customer.str() == read.Customer.str());

    Settings.ModelName = "M100";
    Guarded([] { ReadModelSettings("M100"); });
    FUZZ_CHECK(Settings.DevPath.empty() || Settings.DevPath.back() == '/');
    Guarded([] { ReadModelTemplateName("M100", "M100 V1.2"); });
    Guarded([] { ReadModelDevPath("M100"); });
    Guarded([] { ReadMultiSection(false); });
    Settings.MultiHeld = false;
    Guarded([] { ReadMultiSection(true); });
}
