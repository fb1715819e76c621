// The owner rule on a descriptor's text, and reading that text from a
// handle. The text is read as Windows writes it: "O:" owner, "G:" group,
// "D:" list flags and entries "(type;flags;rights;;;account)", "S:" audit.
#include "trust/owner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "trust/relative.h"

namespace {

struct Code {
    const char* code;
    const char* sid;
};

// The two-letter accounts a descriptor's text may name. A domain's
// (Domain Admins and the like) are not here: they read as someone else.
const Code kAccounts[] = {
    {"SY", "S-1-5-18"},     {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"},
    {"PU", "S-1-5-32-547"}, {"SO", "S-1-5-32-549"}, {"BO", "S-1-5-32-551"}, {"RU", "S-1-5-32-554"},
    {"AU", "S-1-5-11"},     {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},
    {"OW", "S-1-3-4"},      {"AN", "S-1-5-7"},      {"IU", "S-1-5-4"},      {"NU", "S-1-5-2"},
    {"SU", "S-1-5-6"},      {"PS", "S-1-5-10"},     {"RC", "S-1-5-12"},     {"LS", "S-1-5-19"},
    {"NS", "S-1-5-20"},     {"AC", "S-1-15-2-1"},   {"ED", "S-1-5-9"},      {"RD", "S-1-5-32-555"},
};

struct Right {
    const char* code;
    uint32_t bits;
};

const Right kRights[] = {
    {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"RC", 0x20000},
    {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},    {"RP", 0x10},       {"WP", 0x20},
    {"CC", 0x1},        {"DC", 0x2},        {"LC", 0x4},        {"SW", 0x8},        {"LO", 0x80},
    {"DT", 0x40},       {"CR", 0x100},      {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},
    {"FX", 0x1200A0},   {"KA", 0xF003F},    {"KR", 0x20019},    {"KW", 0x20006},    {"KX", 0x20019},
    {"NR", 0},          {"NW", 0},          {"NX", 0},
};

// Accounts that never stand for anyone else: the placeholders of the
// creator and of the owner, which the owner rule already covers.
bool Placeholder(const char* sid) {
    return strcmp(sid, "S-1-3-0") == 0 || strcmp(sid, "S-1-3-1") == 0 || strcmp(sid, "S-1-3-4") == 0;
}

bool Administrative(const char* sid, const char* trusted) {
    return IsAdministrativeOwner(sid) || (trusted[0] != '\0' && strcmp(sid, trusted) == 0);
}

// The account of a field (an alias, or "S-..." as it stands) into out; an
// alias this rule does not know gives "?" and its letters.
void AccountOf(const char* field, size_t length, char* out, size_t size) {
    if (length == 2)
        for (const Code& c : kAccounts)
            if (strncmp(field, c.code, 2) == 0) {
                snprintf(out, size, "%s", c.sid);
                return;
            }
    snprintf(out, size, "%s%.*s", field[0] == 'S' && field[1] == '-' ? "" : "?", static_cast<int>(length), field);
}

// The length of the account field at text: "S-" and digits and dashes, or
// two letters.
size_t AccountLength(const char* text) {
    if (text[0] != 'S' || text[1] != '-')
        return strnlen(text, 2);
    size_t n = 2;
    while ((text[n] >= '0' && text[n] <= '9') || text[n] == '-')
        ++n;
    return n;
}

// Rights as a number ("0x..." or decimal) or as two-letter codes; generic
// rights given as what they give on files. False for a code it cannot read.
bool ParseRights(const char* text, size_t length, uint32_t* rights) {
    *rights = 0;
    if (length > 0 && text[0] >= '0' && text[0] <= '9') {
        char number[24];
        snprintf(number, sizeof number, "%.*s", static_cast<int>(length < 23 ? length : 23), text);
        char* end = nullptr;
        *rights = static_cast<uint32_t>(strtoul(number, &end, 0));
        if (*end != '\0')
            return false;
    } else {
        for (size_t at = 0; at < length; at += 2) {
            const Right* found = nullptr;
            for (const Right& r : kRights)
                if (at + 1 < length && strncmp(text + at, r.code, 2) == 0)
                    found = &r;
            if (!found)
                return false;
            *rights |= found->bits;
        }
    }
    if (*rights & 0x10000000)
        *rights |= 0x1F01FF;
    if (*rights & 0x40000000)
        *rights |= 0x120116;
    return true;
}

// The field number index (from 0) of an entry's text, split at ';'.
bool Field(const char* entry, size_t length, int index, const char** field, size_t* fieldLength) {
    const char* at = entry;
    const char* end = entry + length;
    for (int i = 0; i < index; ++i) {
        const char* semicolon = static_cast<const char*>(memchr(at, ';', static_cast<size_t>(end - at)));
        if (!semicolon)
            return false;
        at = semicolon + 1;
    }
    const char* semicolon = static_cast<const char*>(memchr(at, ';', static_cast<size_t>(end - at)));
    *field = at;
    *fieldLength = static_cast<size_t>((semicolon ? semicolon : end) - at);
    return true;
}

OwnerVerdict VerdictFor(uint32_t rights) {
    if (rights & kRightWriteData)
        return kOthersMayWrite;
    if (rights & kRightAppendData)
        return kOthersMayAppend;
    if (rights & kRightDeleteChild)
        return kOthersMayDeleteChildren;
    if (rights & kRightDelete)
        return kOthersMayDelete;
    return (rights & kRightWriteList) ? kOthersMayChangeList : kOthersMayChangeOwner;
}

// Judges one entry "(type;flags;rights;;;account...)" (without its
// parentheses); false when it cannot be read.
bool JudgeEntry(const char* entry, size_t length, uint32_t harmful, const char* trusted, OwnerJudgement* judgement) {
    const char *type, *flags, *rights, *account;
    size_t typeLength, flagsLength, rightsLength, accountLength;
    if (!Field(entry, length, 0, &type, &typeLength) || !Field(entry, length, 1, &flags, &flagsLength) ||
        !Field(entry, length, 2, &rights, &rightsLength) || !Field(entry, length, 5, &account, &accountLength))
        return false;
    // Allowed (plain, object, callback); deny and audit entries grant nothing.
    bool allows = (typeLength == 1 && type[0] == 'A') ||
                  (typeLength == 2 && type[1] == 'A' && strchr("OXZ", type[0]) != nullptr);
    for (size_t i = 0; allows && i + 1 < flagsLength; i += 2)
        if (strncmp(flags + i, "IO", 2) == 0)
            allows = false;
    uint32_t bits = 0;
    if (!allows)
        return true;
    if (!ParseRights(rights, rightsLength, &bits))
        return false;
    char sid[96];
    AccountOf(account, accountLength, sid, sizeof sid);
    if ((bits & harmful) == 0 || Administrative(sid, trusted) || Placeholder(sid))
        return true;
    judgement->verdict = VerdictFor(bits & harmful);
    snprintf(judgement->account, sizeof judgement->account, "%s", sid);
    return true;
}

// Judges the list that starts after "D:"; sets the verdict at the first
// entry at fault.
void JudgeList(const char* list, uint32_t harmful, const char* trusted, OwnerJudgement* judgement) {
    if (strncmp(list, "NO_ACCESS_CONTROL", 17) == 0) {
        judgement->verdict = VerdictFor(harmful);
        snprintf(judgement->account, sizeof judgement->account, "%s", "S-1-1-0");
        return;
    }
    const char* at = list + strspn(list, "PAIRU");  // protected, auto-inherit flags
    while (*at == '(' && judgement->verdict == kOnlyAdministrators) {
        int depth = 0;
        const char* end = at;
        for (; *end; ++end) {
            depth += *end == '(' ? 1 : *end == ')' ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (*end != ')' || !JudgeEntry(at + 1, static_cast<size_t>(end - at - 1), harmful, trusted, judgement)) {
            judgement->verdict = kDescriptorUnreadable;
            return;
        }
        at = end + 1;
    }
    if (*at != '\0' && strncmp(at, "S:", 2) != 0 && judgement->verdict == kOnlyAdministrators)
        judgement->verdict = kDescriptorUnreadable;
}

OwnerJudgement Judge(const char* sddl, bool withList, uint32_t harmful, const char* trusted) {
    OwnerJudgement judgement = {kDescriptorUnreadable, ""};
    const char* owner = strncmp(sddl, "O:", 2) == 0 ? sddl + 2 : nullptr;
    if (!owner)
        return judgement;
    size_t ownerLength = AccountLength(owner);
    AccountOf(owner, ownerLength, judgement.account, sizeof judgement.account);
    const char* rest = owner + ownerLength;
    if (strncmp(rest, "G:", 2) == 0)
        rest += 2 + AccountLength(rest + 2);
    if (withList && strncmp(rest, "D:", 2) != 0)
        return judgement;
    if (!Administrative(judgement.account, trusted)) {
        judgement.verdict = kOwnerNotAdministrator;
        return judgement;
    }
    judgement.verdict = kOnlyAdministrators;
    judgement.account[0] = '\0';
    if (withList)
        JudgeList(rest + 2, harmful, trusted, &judgement);
    return judgement;
}

}  // namespace

bool IsAdministrativeOwner(const char* sid) {
    static const char* const owners[] = {
        "S-1-5-18",                                                        // SYSTEM
        "S-1-5-32-544",                                                    // Administrators
        "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
    };
    for (const char* owner : owners)
        if (strcmp(sid, owner) == 0)
            return true;
    return false;
}

OwnerJudgement JudgeDescriptor(const char* sddl, uint32_t harmful, const char* trustedAccount) {
    return Judge(sddl, true, harmful, trustedAccount);
}

OwnerJudgement JudgeOwner(const char* sddl, const char* trustedAccount) { return Judge(sddl, false, 0, trustedAccount); }

bool ReadDescriptor(HANDLE handle, char* out, size_t size) {
    // One question (GetSecurityInfo asks twice: the size, then the
    // descriptor). One larger than this room would not fit as text either.
    const SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    alignas(8) unsigned char descriptor[4096];
    DWORD needed = 0;
    out[0] = '\0';
    if (!GetKernelObjectSecurity(handle, kWhat, descriptor, sizeof descriptor, &needed))
        return false;
    LPSTR text = nullptr;
    bool fits = false;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, kWhat, &text, nullptr)) {
        fits = snprintf(out, size, "%s", text) < static_cast<int>(size);
        LocalFree(text);
    }
    if (!fits)
        out[0] = '\0';
    return fits;
}

namespace {

// The account of this process's token.
void ReadRunningAccount(char* account, size_t size) {
    account[0] = '\0';
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD got = 0;
    LPSTR text = nullptr;
    if (GetTokenInformation(token, TokenUser, &info, sizeof info, &got) &&
        ConvertSidToStringSidA(info.user.User.Sid, &text)) {
        snprintf(account, size, "%s", text);
        LocalFree(text);
    }
    CloseHandle(token);
}

struct Account {
    char sid[96];
};

}  // namespace

const char* RunningAccount() {
    // Read once, by whichever thread comes first (the file pool's too).
    static const Account account = [] {
        Account read;
        ReadRunningAccount(read.sid, sizeof read.sid);
        return read;
    }();
    return account.sid;
}

const char* TrustedAccount(bool forUser) { return forUser || WineRun() ? RunningAccount() : ""; }

OwnerJudgement JudgeHandle(HANDLE handle, uint32_t harmful) {
    char sddl[4096];
    if (!ReadDescriptor(handle, sddl, sizeof sddl))
        return OwnerJudgement{kDescriptorUnreadable, ""};
    return harmful ? JudgeDescriptor(sddl, harmful, TrustedAccount()) : JudgeOwner(sddl, TrustedAccount());
}

const char* OwnerVerdictText(OwnerVerdict verdict) {
    static const char* const texts[] = {
        "only administrators can change it",
        "it is owned by an account that is not an administrator",
        "another account may add files to it",
        "another account may add folders to it",
        "another account may delete or rename what it holds",
        "another account may delete or rename it",
        "another account may change its access list",
        "another account may take ownership of it",
        "its owner and access list cannot be read",
    };
    return texts[verdict];
}
