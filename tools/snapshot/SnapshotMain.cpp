// orvan-snapshot: renders the plug-in window to a PNG, built and driven as a host would: a
// processor, its parameters set, its editor in a window, one timer tick later. Or one of the
// window's two dialogs, built by the code the window runs on a click, in a given language.

#include "Dialogs.h"
#include "HeadlessWindow.h"
#include "InterfaceLanguage.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "UpdateCheck.h"
#include "platform/DisplayHost.h"
#include "platform/PreferredLanguages.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace
{
struct Options
{
    int scale = 1;
    std::optional<double> levelDb;
    bool off = false;
    bool badge = false;
    juce::String pressed; // "plus", "minus" or empty
    juce::String dialog;  // "about", "update" or empty for the window
    juce::String languageTag; // the preferred language the dialog is shown for
    juce::String output;
};

struct UsageError
{
    juce::String message;
};

// One entry per option: its name, the value it takes (empty for a flag), and what it does
// with that value. Adding an option is adding a row.
struct OptionRow
{
    const char* name;
    const char* valueName;
    const char* help;
    std::function<void (Options&, const juce::String&)> apply;
};

double parseNumber (const juce::String& text, const char* option)
{
    const auto s = text.toStdString();
    char* end = nullptr;
    const double value = std::strtod (s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || ! std::isfinite (value))
        throw UsageError { juce::String (option) + " wants a number, not \"" + text + "\"" };
    return value;
}

const std::vector<OptionRow>& optionTable()
{
    // The languages a dialog can be pictured in, as a system would name them.
    static const auto dialogIn = [] (const char* dialog, const char* option)
    {
        return [dialog, option] (Options& o, const juce::String& v) {
            const std::pair<const char*, const char*> tags[] = { { "en", "en-US" }, { "ja", "ja-JP" }, { "zh", "zh-Hans-CN" } };
            for (const auto& [name, tag] : tags)
                if (v == name)
                {
                    if (o.dialog.isNotEmpty())
                        throw UsageError { "one dialog at a time" };
                    o.dialog = dialog;
                    o.languageTag = tag;
                    return;
                }
            throw UsageError { juce::String (option) + " takes en, ja or zh, not \"" + v + "\"" };
        };
    };

    static const std::vector<OptionRow> table {
        { "--scale", "1|2", "render at 1x (632 x 340, the default) or 2x (1264 x 680)",
          [] (Options& o, const juce::String& v) {
              if (v != "1" && v != "2")
                  throw UsageError { "--scale takes 1 or 2, not \"" + v + "\"" };
              o.scale = v.getIntValue();
          } },
        { "--level", "DB", "the level in dB, -6.0 to 0.0 (default: the parameter's default, -0.1)",
          [] (Options& o, const juce::String& v) {
              const double db = parseNumber (v, "--level");
              if (db < -6.0 || db > 0.0)
                  throw UsageError { "--level must lie between -6.0 and 0.0 dB, not " + v };
              o.levelDb = db;
          } },
        { "--off", "", "the limiter switched off",
          [] (Options& o, const juce::String&) { o.off = true; } },
        { "--badge", "", "show the update badge, as when a newer version is known",
          [] (Options& o, const juce::String&) { o.badge = true; } },
        { "--about", "en|ja|zh", "render the about box in that language instead of the window",
          dialogIn ("about", "--about") },
        { "--update-dialog", "en|ja|zh", "render the update offer in that language instead of the window",
          dialogIn ("update", "--update-dialog") },
        { "--pressed", "plus|minus", "render that button held down",
          [] (Options& o, const juce::String& v) {
              if (v != "plus" && v != "minus")
                  throw UsageError { "--pressed takes plus or minus, not \"" + v + "\"" };
              o.pressed = v;
          } },
    };
    return table;
}

void printUsage (std::ostream& out)
{
    out << "usage: orvan-snapshot [options] OUTPUT.png\n\nRenders the Orvan plug-in window, or one of its dialogs, to a PNG.\n\noptions:\n";
    for (const auto& row : optionTable())
    {
        juce::String left = juce::String ("  ") + row.name;
        if (*row.valueName != 0)
            left << " " << row.valueName;
        out << left.paddedRight (' ', 27) << row.help << "\n";
    }
    out << juce::String ("  --help").paddedRight (' ', 27) << "this text\n";
}

Options parseArguments (const juce::StringArray& args)
{
    Options options;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (! arg.startsWith ("--"))
        {
            if (options.output.isNotEmpty())
                throw UsageError { "only one output file, but got \"" + options.output + "\" and \"" + arg + "\"" };
            options.output = arg;
            continue;
        }

        const OptionRow* match = nullptr;
        for (const auto& row : optionTable())
            if (arg == row.name)
                match = &row;

        if (match == nullptr)
            throw UsageError { "unknown option \"" + arg + "\"" };

        juce::String value;
        if (*match->valueName != 0)
        {
            if (i + 1 >= args.size())
                throw UsageError { arg + " needs a value (" + match->valueName + ")" };
            value = args[++i];
        }
        match->apply (options, value);
    }

    if (options.dialog.isNotEmpty() && (options.levelDb || options.off || options.badge || options.pressed.isNotEmpty()))
        throw UsageError { "a dialog is pictured alone: --about and --update-dialog go only with --scale" };
    if (options.output.isEmpty())
        throw UsageError { "no output file given" };
    if (! options.output.endsWithIgnoreCase (".png"))
        throw UsageError { "the output file must end in .png: \"" + options.output + "\"" };

    return options;
}

void setParameter (juce::RangedAudioParameter& p, float plainValue)
{
    p.setValueNotifyingHost (p.convertTo0to1 (plainValue));
}

// Writes the picture next to its destination first, so that a failed write leaves no
// half-written file and an existing file untouched.
bool writePng (const juce::Image& image, const juce::File& destination, juce::String& error)
{
    if (! destination.getParentDirectory().isDirectory())
    {
        error = "the folder " + destination.getParentDirectory().getFullPathName() + " does not exist";
        return false;
    }

    juce::TemporaryFile temp (destination);
    {
        auto stream = temp.getFile().createOutputStream();
        juce::PNGImageFormat png;
        if (stream == nullptr || ! png.writeImageToStream (image, *stream) || (stream->flush(), stream->getStatus().failed()))
        {
            error = "cannot write " + destination.getFullPathName();
            return false;
        }
    }

    if (! temp.overwriteTargetFileWithTemporary())
    {
        error = "cannot replace " + destination.getFullPathName();
        return false;
    }
    return true;
}

// Writes the picture to `output` (relative to the working directory) and says so; the exit code.
int save (const juce::Image& image, const juce::String& output)
{
    juce::String error;
    if (! writePng (image, juce::File::getCurrentWorkingDirectory().getChildFile (output), error))
    {
        std::cerr << "orvan-snapshot: " << error << "\n";
        return 1;
    }

    std::cout << "orvan-snapshot: wrote " << output << " (" << image.getWidth() << " x " << image.getHeight() << ")\n";
    return 0;
}

// The dialog as a click on the logo shows it: the window opened first (its construction sets
// the typeface for the language), then the same dialog the click runs, pictured instead of
// run modally.
int renderDialog (const Options& options)
{
    const platform::ScopedPreferredLanguages language (juce::StringArray { options.languageTag });
    OrvanAudioProcessor processor;
    orvan::headless::Window window { std::unique_ptr<juce::Component> (processor.createEditorIfNeeded()) };

    const auto dialog = options.dialog == "about" ? createAboutBox (getInterfaceLanguage())
                                                  : createUpdateDialog (getInterfaceLanguage());
    const auto image = dialog->createComponentSnapshot (dialog->getLocalBounds(), true, (float) options.scale);

    return save (image, options.output);
}

int render (const Options& options)
{
    OrvanAudioProcessor processor;

    setParameter (*processor.enableParameter, options.off ? 0.0f : 1.0f);
    if (options.levelDb)
        setParameter (*processor.levelParameter, (float) *options.levelDb);

    auto* editor = dynamic_cast<OrvanAudioProcessorEditor*> (processor.createEditorIfNeeded());
    if (editor == nullptr)
    {
        std::cerr << "orvan-snapshot: the processor made no editor\n";
        return 1;
    }

    orvan::headless::Window window { std::unique_ptr<juce::Component> (editor) };

    if (options.badge)
        editor->updateAvailable = true;

    if (options.pressed.isNotEmpty())
    {
        // The button under the middle of its socket.
        const auto centre = options.pressed == "plus" ? juce::Point<int> (274, 269) : juce::Point<int> (348, 268);
        auto* button = dynamic_cast<juce::Button*> (editor->getComponentAt (centre));
        if (button == nullptr)
        {
            std::cerr << "orvan-snapshot: no " << options.pressed << " button in the window\n";
            return 1;
        }
        button->setState (juce::Button::buttonDown);
    }

    // The first tick comes 50 ms after the window opens and queues the new rendering.
    orvan::headless::pump (80);

    const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, (float) options.scale);

    return save (image, options.output);
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    if (args.contains ("--help") || args.contains ("-h"))
    {
        printUsage (std::cout);
        return 0;
    }

    Options options;
    try
    {
        options = parseArguments (args);
    }
    catch (const UsageError& e)
    {
        std::cerr << "orvan-snapshot: " << e.message << "\n\n";
        printUsage (std::cerr);
        return 2;
    }

    // Alert windows are always desktop windows, so the dialogs need a display; without one the
    // tool makes its own.
    if (options.dialog.isNotEmpty())
    {
        if (! platform::hasDisplay())
        {
            const auto reason = platform::runAgainUnderVirtualDisplay (argc, argv); // returns only on failure
            std::cerr << "orvan-snapshot: " << reason << "\n";
            return 1;
        }
        platform::prepareDisplayLikeAHost();
    }

    juce::ScopedJuceInitialiser_GUI framework;

    // Pictures are made offline: the window's update check asks nobody.
    setUpdateEndpoint ({});
    return options.dialog.isNotEmpty() ? renderDialog (options) : render (options);
}
