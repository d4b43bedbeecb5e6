#pragma once
// Writes small .xls workbooks record by record for the reader's tests: BIFF8 records in a
// compound file, with the choices real files make (strings split over CONTINUE records, RK and
// MULRK numbers, charts embedded in sheets, small streams in the mini stream).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marvek::test {

// One BIFF record: id, 16-bit length, data.
std::string BiffRecord(std::uint16_t id, std::string_view data);

// Little-endian pieces of record data.
std::string Le16(std::uint32_t v);
std::string Le32(std::uint32_t v);
std::string LeDouble(double v);

// RK values: a 30-bit integer, or a double kept to its high 30 bits (the rest are dropped);
// with `divideBy100` the reader divides the stored value by 100.
std::uint32_t RkInteger(std::int32_t v, bool divideBy100);
std::uint32_t RkDouble(double v, bool divideBy100);

// A shared string: Latin-1 text; `wide` stores it as UTF-16 (`wideAfterSplit` for the part after
// a CONTINUE split); `runs` adds that many formatting runs after the characters.
struct SharedText {
    std::string text;
    bool wide = false;
    bool wideAfterSplit = false;
    int runs = 0;
};

class XlsSheet {
public:
    explicit XlsSheet(std::string name, int type = 0) : name_(std::move(name)), type_(type) {}
    XlsSheet& Dimensions(std::uint32_t rows, std::uint16_t cols);
    XlsSheet& Number(std::uint16_t r, std::uint16_t c, double v);
    XlsSheet& Rk(std::uint16_t r, std::uint16_t c, std::uint32_t rk);
    XlsSheet& MulRk(std::uint16_t r, std::uint16_t first, const std::vector<std::uint32_t>& rks);
    XlsSheet& LabelSst(std::uint16_t r, std::uint16_t c, std::uint32_t index);
    XlsSheet& Label(std::uint16_t r, std::uint16_t c, std::string_view latin1, bool wide);
    XlsSheet& Formula(std::uint16_t r, std::uint16_t c, double cached);
    XlsSheet& FormulaText(std::uint16_t r, std::uint16_t c, std::string_view latin1);
    XlsSheet& Bool(std::uint16_t r, std::uint16_t c, bool v);
    // A chart embedded in the sheet: its own BOF .. EOF substream, holding cell-like records
    // (a NUMBER at `r`, `c` of value `v`) that are not the sheet's.
    XlsSheet& EmbeddedChart(std::uint16_t r, std::uint16_t c, double v);
    XlsSheet& Raw(std::string record);

    const std::string& name() const { return name_; }
    int type() const { return type_; }
    std::string Substream() const;

private:
    std::string name_;
    int type_;  // 0 worksheet, 2 chart
    std::string records_;
};

// The Workbook stream: globals (BOUNDSHEET, SST split into records of at most `sstRecordBytes`
// of data), then each sheet's substream.
std::string XlsStream(const std::vector<XlsSheet>& sheets, const std::vector<SharedText>& sst,
                      std::size_t sstRecordBytes = 8224);

// A version-3 compound file (512-byte sectors) holding `stream` under `name`. A stream under
// 4096 bytes goes in the mini stream, as writers do; `scatter` lays the stream's sectors out in
// reverse order.
std::string CompoundFile(const std::string& stream, const std::string& name = "Workbook",
                         bool scatter = false);

}  // namespace marvek::test
