// The descriptions that the build writes into the LV2 bundle, read as a host's RDF loader
// would find them: the URI in the manifest, the class and the maker that hosts list the
// plug-in under, the version, the ports and the latency report.

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

namespace
{
juce::String readBundleFile (const char* name)
{
    const auto file = juce::File (ORVAN_LV2_BUNDLE).getChildFile (name);
    EXPECT_TRUE (file.existsAsFile()) << file.getFullPathName();
    return file.loadFileAsString();
}

int occurrences (const juce::String& text, const juce::String& fragment)
{
    int count = 0;
    for (int at = text.indexOf (fragment); at >= 0; at = text.indexOf (at + 1, fragment))
        ++count;
    return count;
}
} // namespace

TEST (LV2Bundle, ManifestNamesThePluginByItsUri)
{
    const auto manifest = readBundleFile ("manifest.ttl");
    EXPECT_TRUE (manifest.contains ("<" ORVAN_LV2_URI ">\n\ta lv2:Plugin ;\n\tlv2:binary <libOrvan.so> ;\n\trdfs:seeAlso <dsp.ttl> ."))
        << manifest;
    EXPECT_TRUE (juce::File (ORVAN_LV2_BUNDLE).getChildFile ("libOrvan.so").existsAsFile());
}

TEST (LV2Bundle, DescriptionFilesALimiterByTheMaker)
{
    const auto dsp = readBundleFile ("dsp.ttl");

    EXPECT_TRUE (dsp.contains ("<" ORVAN_LV2_URI ">")) << dsp;
    EXPECT_EQ (occurrences (dsp, "a lv2:Plugin, lv2:LimiterPlugin ;"), 1);
    EXPECT_TRUE (dsp.contains ("doap:name \"Orvan\" ;"));
    EXPECT_TRUE (dsp.contains ("foaf:name \"ZANDL-AUDIO\" ;"));
    EXPECT_TRUE (dsp.contains ("foaf:homepage <https://zandl-audio.com> ;"));
    EXPECT_TRUE (dsp.contains ("foaf:mbox <mailto:support@zandl-audio.com> ;"));
    EXPECT_TRUE (dsp.contains ("doap:revision \"1.0.2\" ;"));

    // Stereo in and out, nothing for MIDI beyond the framework's own control ports.
    EXPECT_EQ (occurrences (dsp, "a lv2:InputPort , lv2:AudioPort ;"), 2);
    EXPECT_EQ (occurrences (dsp, "a lv2:OutputPort , lv2:AudioPort ;"), 2);
    EXPECT_FALSE (dsp.contains ("midi:MidiEvent"));

    // The latency reaches hosts through a designated output port.
    EXPECT_TRUE (dsp.contains ("lv2:designation lv2:latency ;"));
    EXPECT_TRUE (dsp.contains ("lv2:portProperty lv2:reportsLatency"));
}

TEST (LV2Bundle, DescriptionPublishesBothParametersWithTheirRanges)
{
    const auto dsp = readBundleFile ("dsp.ttl");
    const auto block = [&dsp] (const char* subject) { return dsp.fromFirstOccurrenceOf (subject, false, false).upToFirstOccurrenceOf (" .\n", false, false); };

    const auto enable = block ("plug:dbEnable\n");
    EXPECT_TRUE (enable.contains ("rdfs:label \"Enable\" ;")) << enable;
    EXPECT_TRUE (enable.contains ("lv2:default 1 ;"));
    EXPECT_TRUE (enable.contains ("lv2:toggled"));

    const auto level = block ("plug:dbMain\n");
    EXPECT_TRUE (level.contains ("rdfs:label \"Level\" ;")) << level;
    EXPECT_TRUE (level.contains ("lv2:minimum -6 ;"));
    EXPECT_TRUE (level.contains ("lv2:maximum 0"));
    EXPECT_NEAR (level.fromFirstOccurrenceOf ("lv2:default ", false, false).getDoubleValue(), -0.1, 1.0e-6);

    EXPECT_TRUE (dsp.contains ("patch:writable\n\t\tplug:dbEnable ,\n\t\tplug:dbMain ;"));
}
