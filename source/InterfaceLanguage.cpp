#include "InterfaceLanguage.h"

#include "platform/PreferredLanguages.h"
#include "platform/SystemTypefaces.h"

#include <juce_gui_basics/juce_gui_basics.h>

InterfaceLanguage interfaceLanguageForTag (const juce::String& languageTag)
{
    if (languageTag.startsWith ("ja"))
        return InterfaceLanguage::Japanese;

    if (languageTag.startsWith ("zh"))
        return InterfaceLanguage::Chinese;

    return InterfaceLanguage::English;
}

InterfaceLanguage getInterfaceLanguage()
{
    // Only the first preference counts: a user who prefers French, then Japanese, reads English.
    const auto languages = platform::getPreferredLanguages();
    return interfaceLanguageForTag (languages.isEmpty() ? juce::String() : languages[0]);
}

void applyDefaultTypefaceForInterfaceLanguage()
{
    const auto choice = platform::defaultTypefaceFor (getInterfaceLanguage());

    if (choice.name.isEmpty())
        return;

    // The name first: setting it drops a typeface set before for another name.
    auto& laf = juce::Desktop::getInstance().getDefaultLookAndFeel();
    laf.setDefaultSansSerifTypefaceName (choice.name);

    if (choice.typeface != nullptr)
        laf.setDefaultSansSerifTypeface (choice.typeface);
}
