#pragma once
// What a column header names: one table of synonyms per quantity (depth, load, time) and the
// units files write after them, in every notation met in instrument exports and hand-made
// tables: "Depth (nm)", "Load [mN]", "depth_nm", "load_micro_N", "Indentation nm",
// "Y_Test 1_Pd [nm]". Shared by the text and the workbook readers.

#include <string>
#include <string_view>

namespace marvek::io {

enum class Quantity {
    None,      // not a curve column (or not known)
    Depth,     // nm
    Load,      // mN
    Time,      // s
    Excluded,  // names a load that is not the load on the sample ("Indent Act. Load")
};

// A header cell read: the quantity, the name and unit as written, the factor to nm, mN or s
// (1 without a unit; 0 with a unit this quantity cannot have) and, for a name that carries a
// group before the quantity ("X_Test 1_Time", "Y_Test 1_Fn"), the group ("Test 1").
struct ColumnHeader {
    Quantity quantity = Quantity::None;
    std::string name, unit, group;
    double factor = 1;
};

// The quantity a bare column name stands for (case and surrounding blanks ignored).
Quantity QuantityOfName(std::string_view name);

// A unit in its normal spelling: micro signs, "micro_", "micro" become "u"; blanks, brackets
// and underscores go ("[µN]" -> "uN", "micro_N" -> "uN").
std::string NormalUnit(std::string_view unit);

// Reads one header cell. With `groups`, a name the table does not know whole is also tried
// as "<group><separator><quantity>" (the side-by-side layout of several curves).
ColumnHeader ReadColumnHeader(std::string_view header, bool groups = false);

// Factor to nm, mN or s of a unit as files write it ("µm", "uN", "(nm)", "[mN]"); 0 = unknown.
double DepthFactor(std::string_view unit);
double LoadFactor(std::string_view unit);
double TimeFactor(std::string_view unit);
double UnitFactor(Quantity q, std::string_view unit);

// The quantity a column name stands for: 'd' depth, 'l' load, 't' time, 0 other.
char ColumnKind(std::string_view name);

// Splits "Load (µN)" / "Force_uN" / "Depth [nm]" / "depth nm" into name and normal unit.
void SplitNameUnit(std::string_view header, std::string& name, std::string& unit);

// "depth", "load", "time" (for messages and the column description).
const char* QuantityWord(Quantity q);

}  // namespace marvek::io
