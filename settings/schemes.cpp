#include <string.h>

#include "settings/schemes.h"
#include "settings/text.h"

struct NamedScheme {
    const char *name;
    int id;
};

// One table for the settings file, the "Scheme" command and the menu.
static const NamedScheme kSchemes[] = {
    {"Style", SchemeStyle}, {"Fire", SchemeFire},     {"Ocean", SchemeOcean},
    {"Woods", SchemeWoods}, {"Spooky", SchemeSpooky}, {"Manual", SchemeManual},
    {"Warm", SchemeWarm},   {"Cold", SchemeCold},     {"User1", SchemeUser1},
    {"User2", SchemeUser2}, {"User3", SchemeUser3},
};

bool FindScheme(const char *name, int *id)
{
    for (const NamedScheme &scheme : kSchemes) {
        if (EqualIgnoringCase(name, scheme.name)) {
            *id = scheme.id;
            return true;
        }
    }
    return false;
}

const char *SchemeName(int id)
{
    for (const NamedScheme &scheme : kSchemes) {
        if (scheme.id == id)
            return scheme.name;
    }
    return "Manual";
}

const char *SchemeNameAt(int index)
{
    int count = (int)(sizeof kSchemes / sizeof kSchemes[0]);
    return index >= 0 && index < count ? kSchemes[index].name : nullptr;
}
