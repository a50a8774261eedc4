/* Drives the power service through the ordinary powrprof import library, the way
 * stellmark.exe does, and prints every result; check.sh compares the output and the call
 * log with expected/. Run under Wine with our powrprof.dll beside it and
 * WINEDLLOVERRIDES=powrprof=n. */
#include <windows.h>
#include <powrprof.h>

// Not declared by every powrprof.h.
BOOLEAN WINAPI PowerIsSettingRangeDefined(const GUID* SubKeyGuid, const GUID* SettingGuid);
#include <stdio.h>
#include <string.h>

static const GUID kProcessorSubgroup = {0x54533251, 0x82be, 0x4824, {0x96, 0xc1, 0x47, 0xb6, 0x0b, 0x74, 0x0d, 0x00}};
static const GUID kProcessorMaximum = {0xbc5038f7, 0x23e0, 0x4960, {0x96, 0xda, 0x33, 0xab, 0xaf, 0x59, 0x35, 0xec}};
static const GUID kEnergySaverSubgroup = {0xde830923, 0xa562, 0x41af, {0xa0, 0x86, 0xe3, 0xa2, 0xc6, 0xba, 0xd2, 0xda}};
static const GUID kEnergySaverThreshold = {0xe69653ca, 0xcf7f, 0x4f05, {0xaa, 0x73, 0xcb, 0x83, 0x3f, 0xa9, 0x0a, 0xd4}};
static const GUID kNewSetting = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0x01}};
static const GUID kUnknownScheme = {0x0badbeef, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0x02}};

static const char* text(const GUID* g) {
    static char b[4][40];
    static int next;
    char* out = b[next++ % 4];
    if (!g) return "null";
    snprintf(out, 40, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", (unsigned long)g->Data1, g->Data2,
             g->Data3, g->Data4[0], g->Data4[1], g->Data4[2], g->Data4[3], g->Data4[4], g->Data4[5], g->Data4[6],
             g->Data4[7]);
    return out;
}

/* A UTF-16 buffer as UTF-8, quoted so that an empty or space-ended text shows. */
static void printWide(const char* label, DWORD result, const UCHAR* buffer, DWORD size) {
    char utf8[1024] = "";
    if (result == ERROR_SUCCESS)
        WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)buffer, -1, utf8, sizeof utf8, NULL, NULL);
    printf("%s r=%lu size=%lu \"%s\"\n", label, result, size, utf8);
}

static void printName(const char* label, const GUID* scheme, const GUID* subgroup, const GUID* setting) {
    UCHAR buffer[512];
    DWORD size = sizeof buffer;
    DWORD r = PowerReadFriendlyName(NULL, scheme, subgroup, setting, buffer, &size);
    printWide(label, r, buffer, size);
}

static void printValues(const GUID* scheme, const GUID* subgroup, const GUID* setting) {
    DWORD ac = 0xAAAA, dc = 0xAAAA, acDefault = 0xAAAA, dcDefault = 0xAAAA;
    DWORD r1 = PowerReadACValueIndex(NULL, scheme, subgroup, setting, &ac);
    DWORD r2 = PowerReadDCValueIndex(NULL, scheme, subgroup, setting, &dc);
    DWORD r3 = PowerReadACDefaultIndex(NULL, scheme, subgroup, setting, &acDefault);
    DWORD r4 = PowerReadDCDefaultIndex(NULL, scheme, subgroup, setting, &dcDefault);
    printf("  values %s %s ac=%lu/%lu dc=%lu/%lu acdefault=%lu/%lu dcdefault=%lu/%lu\n", text(subgroup), text(setting),
           r1, ac, r2, dc, r3, acDefault, r4, dcDefault);
}

static DWORD enumerate(const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR what, ULONG index, GUID* out) {
    DWORD size = sizeof *out;
    return PowerEnumerate(NULL, scheme, subgroup, what, index, (UCHAR*)out, &size);
}

static void printActive(const char* label) {
    GUID* active = NULL;
    DWORD r = PowerGetActiveScheme(NULL, &active);
    printf("%s r=%lu %s\n", label, r, text(active));
    if (active) LocalFree(active);
}

static ULONG countSchemes(void) {
    GUID g;
    ULONG i = 0;
    while (enumerate(NULL, NULL, ACCESS_SCHEME, i, &g) == ERROR_SUCCESS) ++i;
    return i;
}

static void printSettingDetails(const GUID* subgroup, const GUID* setting) {
    UCHAR buffer[512];
    DWORD size = sizeof buffer, value = 0, r;
    printf("setting %s %s attributes=%lu\n", text(subgroup), text(setting), PowerReadSettingAttributes(subgroup, setting));
    r = PowerReadDescription(NULL, NULL, subgroup, setting, buffer, &size);
    printWide("  description", r, buffer, size);
    r = PowerReadValueMin(NULL, subgroup, setting, &value);
    printf("  min r=%lu %lu\n", r, value);
    r = PowerReadValueMax(NULL, subgroup, setting, &value);
    printf("  max r=%lu %lu\n", r, value);
    r = PowerReadValueIncrement(NULL, subgroup, setting, &value);
    printf("  increment r=%lu %lu\n", r, value);
    printf("  range defined %d\n", PowerIsSettingRangeDefined(subgroup, setting) ? 1 : 0);
    size = sizeof buffer;
    r = PowerReadValueUnitsSpecifier(NULL, subgroup, setting, buffer, &size);
    printWide("  units", r, buffer, size);
    for (ULONG i = 0;; ++i) {
        ULONG type = 0;
        DWORD possible = 0;
        size = sizeof possible;
        r = PowerReadPossibleValue(NULL, subgroup, setting, &type, i, (UCHAR*)&possible, &size);
        printf("  possible %lu value r=%lu type=%lu size=%lu %lu\n", i, r, type, size, possible);
        if (r != ERROR_SUCCESS) break;
        size = sizeof buffer;
        r = PowerReadPossibleFriendlyName(NULL, subgroup, setting, i, buffer, &size);
        printWide("    name", r, buffer, size);
        size = sizeof buffer;
        r = PowerReadPossibleDescription(NULL, subgroup, setting, i, buffer, &size);
        printWide("    description", r, buffer, size);
    }
}

int main(void) {
    GUID schemes[40], sub, set, last;
    ULONG count = 0;
    DWORD r, size;
    UCHAR small[2];

    FARPROC marker = GetProcAddress(GetModuleHandleA("powrprof.dll"), "StellmarkSimulatedPowerService");
    printf("marker %lu\n", marker ? ((DWORD(WINAPI*)(void))(void*)marker)() : 0ul);

    /* Schemes and their names, with the size conventions of the name read. */
    for (;;) {
        r = enumerate(NULL, NULL, ACCESS_SCHEME, count, &schemes[count]);
        if (r != ERROR_SUCCESS || count == 39) break;
        printf("scheme %lu %s\n", count, text(&schemes[count]));
        size = 0;
        r = PowerReadFriendlyName(NULL, &schemes[count], NULL, NULL, NULL, &size);
        printf("  name-size r=%lu size=%lu\n", r, size);
        size = sizeof small;
        memset(small, 0x55, sizeof small);
        r = PowerReadFriendlyName(NULL, &schemes[count], NULL, NULL, small, &size);
        printf("  name-short r=%lu size=%lu untouched=%d\n", r, size, small[0] == 0x55 && small[1] == 0x55);
        printName("  name", &schemes[count], NULL, NULL);
        printValues(&schemes[count], &kProcessorSubgroup, &kProcessorMaximum);
        printValues(&schemes[count], &kEnergySaverSubgroup, &kEnergySaverThreshold);
        ++count;
    }
    printf("enumerate end r=%lu at %lu\n", r, count);
    size = 8;
    r = PowerEnumerate(NULL, NULL, NULL, ACCESS_SCHEME, 0, (UCHAR*)&last, &size);
    printf("enumerate short r=%lu size=%lu\n", r, size);
    printf("enumerate flags 99 r=%lu\n", enumerate(NULL, NULL, (POWER_DATA_ACCESSOR)99, 0, &last));
    if (count == 0) return 1;

    /* The editor's view of the first scheme. */
    for (ULONG i = 0; enumerate(&schemes[0], NULL, ACCESS_SUBGROUP, i, &sub) == ERROR_SUCCESS; ++i) {
        printf("subgroup %s attributes=%lu", text(&sub), PowerReadSettingAttributes(&sub, NULL));
        printName("", &schemes[0], &sub, NULL);
        for (ULONG j = 0; enumerate(&schemes[0], &sub, ACCESS_INDIVIDUAL_SETTING, j, &set) == ERROR_SUCCESS; ++j) {
            printf("  %s", text(&set));
            printName("", &schemes[0], &sub, &set);
        }
    }
    printSettingDetails(&kProcessorSubgroup, &kProcessorMaximum);
    printSettingDetails(&kEnergySaverSubgroup, &kEnergySaverThreshold);

    /* Activation. */
    printActive("active");
    printf("set active %s r=%lu\n", text(&schemes[count - 1]), PowerSetActiveScheme(NULL, &schemes[count - 1]));
    printActive("active");
    printf("set active unknown r=%lu\n", PowerSetActiveScheme(NULL, &kUnknownScheme));
    printActive("active");

    /* Writes are seen by later reads; a setting the scheme lacks is added. */
    printf("write dc 99 r=%lu\n", PowerWriteDCValueIndex(NULL, &schemes[0], &kProcessorSubgroup, &kProcessorMaximum, 99));
    printf("write ac 98 r=%lu\n", PowerWriteACValueIndex(NULL, &schemes[0], &kProcessorSubgroup, &kProcessorMaximum, 98));
    printValues(&schemes[0], &kProcessorSubgroup, &kProcessorMaximum);
    printf("write new ac 7 r=%lu\n", PowerWriteACValueIndex(NULL, &schemes[0], &kProcessorSubgroup, &kNewSetting, 7));
    printValues(&schemes[0], &kProcessorSubgroup, &kNewSetting);
    printf("write unknown scheme r=%lu\n",
           PowerWriteDCValueIndex(NULL, &kUnknownScheme, &kProcessorSubgroup, &kProcessorMaximum, 1));

    /* Duplicate, rename, delete. */
    {
        GUID* created = NULL;
        static const WCHAR name[] = L"Copy one";
        r = PowerDuplicateScheme(NULL, &schemes[0], &created);
        printf("duplicate r=%lu %s\n", r, text(created));
        if (created) {
            printName("  name", created, NULL, NULL);
            printValues(created, &kProcessorSubgroup, &kProcessorMaximum);
            r = PowerWriteFriendlyName(NULL, created, NULL, NULL, (UCHAR*)name, sizeof name);
            printf("  rename r=%lu\n", r);
            printName("  name", created, NULL, NULL);
            printf("  schemes %lu\n", countSchemes());
            printf("  delete r=%lu\n", PowerDeleteScheme(NULL, created));
            printf("  schemes %lu\n", countSchemes());
            LocalFree(created);
        }
        printf("delete active r=%lu\n", PowerDeleteScheme(NULL, &schemes[count - 1]));
        printf("delete unknown r=%lu\n", PowerDeleteScheme(NULL, &kUnknownScheme));
    }
    return 0;
}
