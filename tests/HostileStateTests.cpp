// State blobs built to hurt: what a damaged project file or a malicious preset may carry.
// They must leave both parameters as they were, and must not take the host down with them.
// The libFuzzer target in fuzz/ searches for more; what it finds is kept in its corpus.
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
juce::MemoryBlock blob (const std::string& xml)
{
    juce::MemoryBlock block;
    block.append ("VC2!", 4);
    const uint32_t length = juce::ByteOrder::swapIfBigEndian ((uint32_t) xml.size());
    block.append (&length, 4);
    block.append (xml.data(), xml.size());
    block.append ("", 1);
    return block;
}

std::string repeat (const std::string& s, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += s;
    return out;
}

const std::string settings = "MYPLUGINSETTINGS dbEnable=\"0\" dbMain=\"-4\"";
} // namespace

TEST (HostileState, HazardousXmlIsRefusedWithoutAnyChange)
{
    const struct { const char* name; std::string xml; } cases[] = {
        // The parser would recurse once per level and overflow the stack.
        { "nested 200000 deep", "<" + settings + ">" + repeat ("<a>", 200000) + repeat ("</a>", 200000) + "</MYPLUGINSETTINGS>" },
        { "nested deep, never closed", "<" + settings + ">" + repeat ("<a x='1'>", 100000) },
        { "nested deep behind stray closing marks", "<" + settings + ">" + repeat ("<a x='/>'><!-- </b> -->", 100000) },
        // The parser would skip the instruction, step back for the text and loop for ever.
        { "instruction followed by text", "<" + settings + "><?pi?>text</MYPLUGINSETTINGS>" },
        { "instruction deeper down", "<" + settings + "><a><b><?xml version=\"1.0\"?>x</b></a></MYPLUGINSETTINGS>" },
        // Entities that refer to each other: the framework's expansion loops for ever.
        { "entities referring to each other",
          "<!DOCTYPE M [<!ENTITY a \"&b;&b;,><!ENTI]Y b \"&c;&c;\"><!ENTITY c \"-1\">]><" + settings + " b=\"&a;\"/>" },
        { "entity defined by itself", "<!DOCTYPE M [<!ENTITY a \"&a;&a;\">]><" + settings + " x=\"&a;\"/>" },
        { "external document type", "<!DOCTYPE M SYSTEM \"/etc/passwd\"><" + settings + "/>" },
        // Character references beyond Unicode or left open: the parser writes text its
        // reader runs past, or steps over the end of the text.
        { "hexadecimal reference beyond Unicode", "<" + settings + " x=\"&#x7FFFFFFF;\"/>" },
        { "reference open at the end of the text", "<" + settings + "><a>&#x41" },
        { "decimal reference beyond Unicode", "<" + settings + "><a>&#99999999999;&#x3C;</a></MYPLUGINSETTINGS>" },
        { "reference without digits", "<" + settings + " x=\"&#x;\"/>" },
        // An unknown entity is parsed again as markup when its name starts with '<', from a
        // copy that here ends inside a character reference, which the parser reads past.
        { "unknown entity that reads as markup", "<" + settings + ">&<a>&#x;</MYPLUGINSETTINGS>" },
        { "unknown entity", "<" + settings + " x=\"&nope;\"/>" },
        // Not UTF-8. The framework's parser steps over the continuation bytes that a lead
        // byte announces without looking, so text that ends inside a sequence is read past
        // its end.
        { "text ends inside a UTF-8 sequence", "<" + settings + "/><!-- \xf0" },
        { "stray lead bytes", "<?xml version=\"1.0\" encoding=\"\xff\xff\xff\"?><" + settings + "/>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        OrvanAudioProcessor processor (HostPolicy {});
        const auto block = blob (c.xml);
        processor.setStateInformation (block.getData(), (int) block.getSize());
        EXPECT_TRUE (processor.enableParameter->get());
        EXPECT_EQ (processor.levelParameter->get(), -0.1f);
    }
}

TEST (HostileState, HarmlessExtrasStillRestore)
{
    // Comments, character data and a few levels of children are ordinary XML and do not
    // stop a state from restoring.
    const std::string cases[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <!-- saved by hand --><" + settings + "/>",
        "<" + settings + "><a><b><c/></b></a><![CDATA[<<x>>]]></MYPLUGINSETTINGS>",
        "<" + settings + ">" + repeat ("<a>", 40) + repeat ("</a>", 40) + "</MYPLUGINSETTINGS>",
        "<" + settings + " x=\"&#x10FFFF;&#65;&#x0000041;&amp;\"/>",
    };
    for (const auto& xml : cases)
    {
        SCOPED_TRACE (xml.substr (0, 80));
        OrvanAudioProcessor processor (HostPolicy {});
        const auto block = blob (xml);
        processor.setStateInformation (block.getData(), (int) block.getSize());
        EXPECT_FALSE (processor.enableParameter->get());
        EXPECT_EQ (processor.levelParameter->get(), -4.0f);
    }
}
