// The header-synonym table and the unit notations.

#include "column_names.h"

#include <array>

namespace marvek::io {

namespace {

struct Synonym {
    std::string_view name;  // lower case, single blanks
    Quantity quantity;
};

// Names seen in instrument exports and researchers' own tables. A name is matched whole, so
// "Indent Act. Load" (the transducer's spring force included) is never taken for "Indent Load";
// it is listed to say so.
constexpr std::array kSynonyms = {
    Synonym{"depth", Quantity::Depth},
    Synonym{"displacement", Quantity::Depth},
    Synonym{"disp", Quantity::Depth},
    Synonym{"disp.", Quantity::Depth},
    Synonym{"h", Quantity::Depth},
    Synonym{"indentation", Quantity::Depth},
    Synonym{"indentation depth", Quantity::Depth},
    Synonym{"indent depth", Quantity::Depth},
    Synonym{"indent disp", Quantity::Depth},
    Synonym{"indent disp.", Quantity::Depth},
    Synonym{"pd", Quantity::Depth},
    Synonym{"penetration", Quantity::Depth},
    Synonym{"penetration depth", Quantity::Depth},
    Synonym{"depth on sample", Quantity::Depth},
    Synonym{"displacement into surface", Quantity::Depth},
    Synonym{"load", Quantity::Load},
    Synonym{"force", Quantity::Load},
    Synonym{"f", Quantity::Load},
    Synonym{"p", Quantity::Load},
    Synonym{"fn", Quantity::Load},
    Synonym{"normal force", Quantity::Load},
    Synonym{"normal load", Quantity::Load},
    Synonym{"indent load", Quantity::Load},
    Synonym{"load on sample", Quantity::Load},
    Synonym{"indent act. load", Quantity::Excluded},
    Synonym{"indent act load", Quantity::Excluded},
    Synonym{"time", Quantity::Time},
    Synonym{"t", Quantity::Time},
    Synonym{"indent time", Quantity::Time},
    Synonym{"test time", Quantity::Time},
    Synonym{"time on sample", Quantity::Time},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '"' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Lower case with runs of blanks made one blank.
std::string NormalName(std::string_view name) {
    std::string out;
    for (char c : Trim(name)) {
        if (c == '\t') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    return out;
}

// A name before an optional group tag: "X_Test 1" and "Y_Test 1" are the group "Test 1".
std::string GroupName(std::string_view prefix) {
    prefix = Trim(prefix);
    if (prefix.size() > 2 && (prefix[1] == '_' || prefix[1] == ' ') &&
        (prefix[0] == 'X' || prefix[0] == 'Y' || prefix[0] == 'x' || prefix[0] == 'y'))
        prefix.remove_prefix(2);
    while (!prefix.empty() &&
           (prefix.back() == '_' || prefix.back() == ' ' || prefix.back() == '-'))
        prefix.remove_suffix(1);
    return std::string(Trim(prefix));
}

// "<group>_<quantity>" or "<group> <quantity>": the longest known quantity name at the end.
bool SplitGroup(std::string_view name, ColumnHeader& out) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '_' && name[i] != ' ') continue;
        const Quantity q = QuantityOfName(name.substr(i + 1));
        if (q == Quantity::None) continue;
        const std::string group = GroupName(name.substr(0, i));
        if (group.empty()) continue;
        out.quantity = q;
        out.group = group;
        out.name = std::string(Trim(name));
        return true;
    }
    return false;
}

}  // namespace

Quantity QuantityOfName(std::string_view name) {
    const std::string n = NormalName(name);
    for (const Synonym& s : kSynonyms)
        if (s.name == n) return s.quantity;
    return Quantity::None;
}

std::string NormalUnit(std::string_view unit) {
    std::string out;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(unit[i]);
        if ((c == 0xC2 && i + 1 < unit.size() && static_cast<unsigned char>(unit[i + 1]) == 0xB5) ||
            (c == 0xCE && i + 1 < unit.size() && static_cast<unsigned char>(unit[i + 1]) == 0xBC)) {
            out += 'u';
            ++i;
        } else if (c == 0xB5) {
            out += 'u';
        } else if (unit.substr(i, 5) == "micro" || unit.substr(i, 5) == "Micro") {
            out += 'u';
            i += 4;
        } else if (c != ' ' && c != '\t' && c != '(' && c != ')' && c != '[' && c != ']' &&
                   c != '_' && c != '"') {
            out += static_cast<char>(c);
        }
    }
    if (out == "umeter" || out == "umeters" || out == "umetre" || out == "umetres") out = "um";
    return out;
}

double DepthFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "nm") return 1;
    if (u == "um" || u == "micron" || u == "microns") return 1000;
    if (u == "mm") return 1e6;
    if (u == "m") return 1e9;
    return 0;
}

double LoadFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "mN") return 1;
    if (u == "uN") return 1e-3;
    if (u == "nN") return 1e-6;
    if (u == "N") return 1e3;
    return 0;
}

double TimeFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "s" || u == "sec") return 1;
    if (u == "ms") return 1e-3;
    if (u == "min") return 60;
    return 0;
}

double UnitFactor(Quantity q, std::string_view unit) {
    switch (q) {
        case Quantity::Depth: return DepthFactor(unit);
        case Quantity::Load:
        case Quantity::Excluded: return LoadFactor(unit);
        case Quantity::Time: return TimeFactor(unit);
        case Quantity::None: break;
    }
    return 0;
}

ColumnHeader ReadColumnHeader(std::string_view header, bool groups) {
    ColumnHeader out;
    const std::string_view t = Trim(header);
    std::string_view name = t;
    const std::size_t open = t.find_first_of("([");
    if (open != std::string_view::npos) {
        const std::size_t close = t.find_first_of(")]", open);
        name = Trim(t.substr(0, open));
        out.unit = NormalUnit(
            t.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
        out.quantity = QuantityOfName(name);
        out.name = std::string(name);
    } else if ((out.quantity = QuantityOfName(t)) != Quantity::None) {
        out.name = std::string(t);
    } else {
        // "depth_nm", "load_micro_N", "Indentation nm": the first split that leaves a known
        // name before and a unit of its quantity after.
        for (std::size_t i = 1; i < t.size(); ++i) {
            if (t[i] != '_' && t[i] != ' ') continue;
            const Quantity q = QuantityOfName(t.substr(0, i));
            if (q == Quantity::None || UnitFactor(q, t.substr(i + 1)) == 0) continue;
            out.quantity = q;
            out.name = std::string(Trim(t.substr(0, i)));
            out.unit = NormalUnit(t.substr(i + 1));
            break;
        }
        if (out.quantity == Quantity::None) {
            // Not a curve column: the old split at the last underscore, for the record.
            const std::size_t under = t.rfind('_');
            out.name = std::string(under == std::string_view::npos ? t : Trim(t.substr(0, under)));
            out.unit = under == std::string_view::npos ? "" : NormalUnit(t.substr(under + 1));
        }
    }
    if (out.quantity == Quantity::None && groups && !name.empty() && SplitGroup(name, out) &&
        open == std::string_view::npos)
        out.unit.clear();  // the fallback split above took the quantity's name for a unit
    if (out.quantity != Quantity::None && !out.unit.empty())
        out.factor = UnitFactor(out.quantity, out.unit);
    return out;
}

char ColumnKind(std::string_view name) {
    switch (QuantityOfName(name)) {
        case Quantity::Depth: return 'd';
        case Quantity::Load: return 'l';
        case Quantity::Time: return 't';
        default: return 0;
    }
}

void SplitNameUnit(std::string_view header, std::string& name, std::string& unit) {
    ColumnHeader h = ReadColumnHeader(header);
    name = std::move(h.name);
    unit = std::move(h.unit);
}

const char* QuantityWord(Quantity q) {
    switch (q) {
        case Quantity::Depth: return "depth";
        case Quantity::Load: return "load";
        case Quantity::Time: return "time";
        case Quantity::Excluded: return "load (not on the sample)";
        case Quantity::None: break;
    }
    return "other";
}

}  // namespace marvek::io
