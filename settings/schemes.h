// The colour schemes: their identifiers and names. The settings file, the
// "Scheme" command and the menu share one table of names.
#pragma once

enum SchemeId {
    SchemeManual = 0,
    SchemeWarm = 1,
    SchemeCold = 2,
    SchemeStyle = 10,
    SchemeFire = 11,
    SchemeOcean = 12,
    SchemeWoods = 13,
    SchemeSpooky = 14,
    SchemeUser1 = 101,
    SchemeUser2 = 102,
    SchemeUser3 = 103,
};

// Identifiers of 10 and above are the schemes that use the palette.
inline bool IsPaletteScheme(int scheme)
{
    return scheme >= SchemeStyle;
}

// Looks a scheme name up, ignoring ASCII case. Returns false for a name
// that is not one of the eleven, leaving *id untouched.
bool FindScheme(const char *name, int *id);
// The name of a scheme as the menu and the settings file spell it.
const char *SchemeName(int id);
// The names in the table's order, then nullptr.
const char *SchemeNameAt(int index);
