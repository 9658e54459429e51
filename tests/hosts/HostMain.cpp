#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace
{
// The framework's LV2 host looks only in ~/.lv2 and the system folders, never in LV2_PATH.
// Each run gets a home folder of its own whose .lv2 holds just the bundle under test, so
// neither an installed copy nor another run's folder can stand in for it.
class ScratchHome
{
public:
    ScratchHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvan-hosts-XXXXXX").string();
        if (mkdtemp (pattern.data()) == nullptr)
            return;
        folder = pattern;

        std::error_code error;
        std::filesystem::create_directory (folder / ".lv2", error);
        std::filesystem::create_directory_symlink (ORVAN_LV2_BUNDLE, folder / ".lv2" / "Orvan.lv2", error);
        if (error)
            std::cerr << "cannot link the LV2 bundle into " << folder << ": " << error.message() << "\n";

        setenv ("HOME", folder.c_str(), 1);
    }

    ~ScratchHome()
    {
        std::error_code error;
        if (! folder.empty())
            std::filesystem::remove_all (folder, error); // removes the link, not the bundle
    }

private:
    std::filesystem::path folder;
};
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    ScratchHome home;
    juce::ScopedJuceInitialiser_GUI framework;
    return RUN_ALL_TESTS();
}
