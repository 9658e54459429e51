#include "PluginProcessor.h"

#include "DSP.h"
#include "PluginEditor.h"

#include <cmath>
#include <cstring>

namespace
{
// Sets a parameter's normalised value and announces it, so that the host and the editor
// learn of the change.
void setAndAnnounce (juce::AudioProcessorParameter& parameter, float normalisedValue)
{
    parameter.setValue (normalisedValue);
    parameter.sendValueChangedMessageToListeners (normalisedValue);
}

constexpr const char* stateTag = "MYPLUGINSETTINGS";
constexpr const char* enableAttribute = "dbEnable";
constexpr const char* levelAttribute = "dbMain";
constexpr juce::uint32 stateMagic = 0x21324356; // "VC2!" read as a little-endian integer

// A saved state is one flat element, and these kinds of text make the framework's XML
// parser take the host down, so they are refused before the parser sees them:
// - deep nesting: the parser descends one call per level (and frees the parsed tree the
//   same way), so a blob nested some hundred thousand levels deep overflows the stack.
//   Every level needs a '<' of its own, so a cap on their count caps the depth, whatever
//   quotes, comments or stray closing marks stand around them.
// - a processing instruction inside an element followed by text: the parser skips the
//   instruction, finds text, steps back to read it, meets the instruction again and loops
//   for ever. Only a leading instruction (the declaration) is let through.
// - a document type: entities that refer to each other send the parser's expansion into
//   an endless loop. Markup declarations ("<!" and a letter) are refused; comments and
//   character data ("<!--", "<![CDATA[") are not.
// - a numeric character reference that is beyond Unicode or not closed by ';': the parser
//   writes whatever number comes out as UTF-8, which its own reader then runs past, and
//   steps over the closing mark without looking, also when the text ends there.
// - any other reference: the parser takes an unknown name up to the next ';' and, when it
//   starts with '<', parses it again as markup from a copy that may end inside a character
//   reference, which it then reads past. Only the five predefined entities and numeric
//   references are let through; nothing else appears in a state the framework writes.
constexpr int mostMarkupInAState = 256;

// Whether the digits after "&#" (decimal, or hexadecimal after an x) name a character and
// are closed by ';'.
bool namesACharacter (juce::CharPointer_UTF8 p)
{
    const bool hex = *p == 'x' || *p == 'X';
    if (hex)
        ++p;
    juce::int64 value = 0;
    for (int digits = 0;; ++p, ++digits)
    {
        const auto c = *p;
        const int digit = hex ? juce::CharacterFunctions::getHexDigitValue (c)
                              : (c >= '0' && c <= '9' ? (int) (c - '0') : -1);
        if (digit < 0)
            return digits > 0 && c == ';';
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10ffff)
            return false;
    }
}

// Whether the text after a '&' is a reference the parser reads safely: a character by
// number, or one of the five entities XML predefines (in any case, as the parser takes them).
bool isSafeReference (juce::CharPointer_UTF8 p)
{
    if (*p == '#')
        return namesACharacter (p + 1);
    for (const char* name : { "amp;", "lt;", "gt;", "quot;", "apos;" })
        if (p.compareIgnoreCaseUpTo (juce::CharPointer_ASCII (name), (int) std::strlen (name)) == 0)
            return true;
    return false;
}

bool isSafeToParse (const juce::String& text)
{
    auto p = text.getCharPointer();
    p.incrementToEndOfWhitespace();
    if (p[0] == '<' && p[1] == '?')
        p += 2;

    int markup = 0;
    for (; ! p.isEmpty(); ++p)
    {
        if (*p == '&' && ! isSafeReference (p + 1))
            return false;
        if (*p != '<')
            continue;
        if (p[1] == '?' || (p[1] == '!' && juce::CharacterFunctions::isLetter (p[2]))
            || ++markup > mostMarkupInAState)
            return false;
    }
    return true;
}

// The XML text of a state blob: the header's length, cut to the bytes that are there, or
// nothing when the blob is too short, has another magic, a length of 0 or less, or bytes
// that are not UTF-8.
juce::String stateText (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes < 9 || juce::ByteOrder::littleEndianInt (data) != stateMagic)
        return {};
    const auto length = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));
    if (length <= 0)
        return {};
    // The framework steps through UTF-8 by the count its lead bytes announce, so a text cut
    // inside a sequence (or one with stray lead bytes) would be read past its end by the
    // parser; such bytes are no text that Orvan ever wrote.
    const auto* text = static_cast<const char*> (data) + 8;
    const int textLength = juce::jmin (sizeInBytes - 8, length);
    if (! juce::CharPointer_UTF8::isValidString (text, textLength))
        return {};
    return juce::String::fromUTF8 (text, textLength);
}
} // namespace

HostPolicy HostPolicy::forHost (const juce::PluginHostType& host)
{
    HostPolicy policy;
    policy.latencyExempt = host.isAbletonLive() || host.isCubase() || host.isNuendo()
                           || host.isWavelab() || host.isDaVinciResolve();
    policy.bitwig = host.isBitwigStudio();
    return policy;
}

HostPolicy HostPolicy::forRunningHost()
{
    return forHost (juce::PluginHostType());
}

OrvanAudioProcessor::OrvanAudioProcessor()
    : OrvanAudioProcessor (HostPolicy::forRunningHost())
{
}

OrvanAudioProcessor::OrvanAudioProcessor (HostPolicy policy)
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      dsp (std::make_unique<CDSP>()),
      hostPolicy (policy)
{
    enableParameter = new juce::AudioParameterBool (juce::ParameterID { "dbEnable", 1 }, "Enable", true);
    addParameter (enableParameter);

    levelParameter = new juce::AudioParameterFloat (
        juce::ParameterID { "dbMain", 1 }, "Level",
        juce::NormalisableRange<float> (-6.0f, 0.0f, 0.01f, 1.0f, false), -0.1f,
        juce::AudioParameterFloatAttributes().withCategory (juce::AudioProcessorParameter::genericParameter));
    addParameter (levelParameter);
}

OrvanAudioProcessor::~OrvanAudioProcessor() = default;

const juce::String OrvanAudioProcessor::getName() const
{
    return "Orvan";
}

const juce::String OrvanAudioProcessor::getProgramName (int)
{
    // Steinberg's validator rejects an empty program name, and the VST3 wrapper publishes
    // our one program as a program list.
    return wrapperType == wrapperType_VST3 ? "Default" : juce::String();
}

int OrvanAudioProcessor::lookaheadFor (double sampleRate)
{
    const double samples = sampleRate * 30.0 / 1000.0;
    if (! (samples >= 0.0))
        return 0;
    return samples < (double) std::numeric_limits<int>::max() ? (int) samples
                                                               : std::numeric_limits<int>::max();
}

void OrvanAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const double previousRate = lastSampleRate;
    lastSampleRate = sampleRate;

    // Bitwig prepares again at the same rate while playing; the running limiter keeps its state.
    if (isBitwig && sampleRate == previousRate)
        return;

    lookaheadSamples = lookaheadFor (sampleRate);
    dsp->Reset (lookaheadSamples);

    // A ring too short to analyse passes audio through undelayed, so it reports no latency.
    if (! hostPolicy.latencyExempt)
        setLatencySamples (dsp->isReady() ? lookaheadSamples : 0);

    isBitwig = hostPolicy.bitwig;

    doubleBuffer.setSize (juce::jmax (2, getTotalNumInputChannels(), getTotalNumOutputChannels()),
                          juce::jmax (1, maximumExpectedSamplesPerBlock), false, true, false);
}

void OrvanAudioProcessor::releaseResources()
{
    if (hostPolicy.bitwig || getLatencySamples() == 0)
        return;
    if (hostPolicy.latencyExempt)
        return;
    setLatencySamples (0);
}

bool OrvanAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();
    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;
    return layouts.getMainInputChannelSet() == output;
}

void OrvanAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    // Switched off, the audio passes untouched and undelayed and the engine stays frozen.
    // Before any prepare (or at a rate too low for a ring) it passes untouched as well.
    if (! isEnabled() || ! dsp->isReady())
        return;

    const int numInputs = getTotalNumInputChannels();
    const int numOutputs = getTotalNumOutputChannels();
    const int numSamples = buffer.getNumSamples();

    for (int ch = numInputs; ch < numOutputs && ch < buffer.getNumChannels(); ++ch)
        buffer.clear (ch, 0, numSamples);

    if (numInputs < 1 || numOutputs < 1 || buffer.getNumChannels() < 1)
        return;

    const double* inL = buffer.getReadPointer (0);
    double* outL = buffer.getWritePointer (0);
    const double* inR = nullptr;
    double* outR = nullptr;
    if (numInputs >= 2 && numOutputs >= 2 && buffer.getNumChannels() >= 2)
    {
        inR = buffer.getReadPointer (1);
        outR = buffer.getWritePointer (1);
    }
    if (inR == nullptr || outR == nullptr)
    {
        inR = inL;
        outR = outL;
    }

    const bool mono = numOutputs < 2;
    const double sampleRate = getSampleRate();

    for (int i = 0; i < numSamples; ++i)
    {
        const double levelDb = (double) levelParameter->get();
        const double left = inL[i];
        const double right = inR[i];
        double l = 0.0, r = 0.0;
        dsp->DoProcess (left, right, &l, &r, sampleRate, levelDb, mono);
        outL[i] = l;
        if (! mono)
            outR[i] = r;
    }
}

void OrvanAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    if (! dsp->isReady())
        return;

    // Allocation-free in steady state: the copy reuses the buffer sized in prepare.
    doubleBuffer.makeCopyOf (buffer, true);
    processBlock (doubleBuffer, midi);

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        const double* source = doubleBuffer.getReadPointer (ch);
        float* destination = buffer.getWritePointer (ch);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            destination[i] = (float) source[i];
    }
}

juce::AudioProcessorEditor* OrvanAudioProcessor::createEditor()
{
    return new OrvanAudioProcessorEditor (*this);
}

void OrvanAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    juce::XmlElement xml (stateTag);
    xml.setAttribute (enableAttribute, isEnabled() ? 1 : 0);
    xml.setAttribute (levelAttribute, (double) levelParameter->get());

    destData.reset();
    copyXmlToBinary (xml, destData);
}

void OrvanAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto text = stateText (data, sizeInBytes);
    if (text.isEmpty() || ! isSafeToParse (text))
        return;

    const auto xml = juce::parseXML (text);
    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (stateTag))
        return;

    // A missing attribute, or one whose text reads as NaN, keeps the current value.
    const auto readNumber = [&xml] (const char* name, double current)
    {
        if (! xml->hasAttribute (name))
            return current;
        const double value = xml->getStringAttribute (name).getDoubleValue();
        return std::isnan (value) ? current : value;
    };

    // The switch keeps a stored fraction (0.7 is on), kept within the normalised range
    // so that hosts never see a value outside 0 to 1.
    const double enable = readNumber (enableAttribute, isEnabled() ? 1.0 : 0.0);
    const float enableValue = juce::jlimit (0.0f, 1.0f, (float) enable);
    setAndAnnounce (*enableParameter, enableValue);

    const double level = readNumber (levelAttribute, (double) levelParameter->get());
    const float levelValue = levelParameter->convertTo0to1 ((float) level);
    setAndAnnounce (*levelParameter, levelValue);
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new OrvanAudioProcessor();
}
