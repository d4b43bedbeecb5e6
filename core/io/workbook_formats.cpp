#include "workbook_formats.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/io/number_format.h"
#include "sheet_curves.h"
#include "text_formats.h"
#include "xls_workbook.h"

namespace marvek::io {

namespace {

using workbook::CellView;

// An .xlsx sheet's range as read (Excel's own is 1048576 x 16384).
constexpr long kXlsxMaxRows = 2000000;
constexpr std::size_t kXlsxMaxCols = 16384;
using Sheet = workbook::SheetCells;

// Reads a zip member whole, refusing absurd declared sizes before reading.
bool ReadMember(zip_t* z, zip_uint64_t index, std::string& data, std::string& error) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        error = "a member's size cannot be read";
        return false;
    }
    const std::string name = (st.valid & ZIP_STAT_NAME) ? st.name : "?";
    if (st.size > kMaxMemberBytes) {
        error = "member \"" + name + "\" declares " + std::to_string(st.size) +
                " bytes uncompressed, more than the " + std::to_string(kMaxMemberBytes >> 20) +
                " MB allowed (refused unread)";
        return false;
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> f(zip_fopen_index(z, index, 0), zip_fclose);
    if (!f) {
        error = "member \"" + name + "\" cannot be opened: " + zip_strerror(z);
        return false;
    }
    data.resize(st.size);
    zip_int64_t got = st.size ? zip_fread(f.get(), data.data(), st.size) : 0;
    char extra;
    if (got != static_cast<zip_int64_t>(st.size) || zip_fread(f.get(), &extra, 1) != 0) {
        error = "member \"" + name + "\" is damaged (" + zip_file_strerror(f.get()) + ")";
        return false;
    }
    return true;
}

using ZipPtr = std::unique_ptr<zip_t, void (*)(zip_t*)>;

ZipPtr OpenZip(std::string_view content, std::string& error) {
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(content.data(), content.size(), 0, &ze);
    zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze) : nullptr;
    if (!z) {
        error = std::string("not a readable zip archive (") + zip_error_strerror(&ze) + ")";
        if (src) zip_source_free(src);
    }
    zip_error_fini(&ze);
    return ZipPtr(z, [](zip_t* p) {
        if (p) zip_discard(p);
    });
}

bool MemberByName(zip_t* z, const std::string& name, std::string& data, std::string& error) {
    const zip_int64_t i = zip_name_locate(z, name.c_str(), 0);
    if (i < 0) {
        error = "part \"" + name + "\" is missing";
        return false;
    }
    return ReadMember(z, static_cast<zip_uint64_t>(i), data, error);
}

// Column index of a cell reference ("C12" -> 2).
std::size_t ColumnOf(const char* ref) {
    std::size_t col = 0;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref)
        col = col * 26 + static_cast<std::size_t>(*ref - 'A' + 1);
    return col ? col - 1 : 0;
}

// Loads one XML part of the archive; `what` names it in the message when it is not well-formed.
bool LoadXmlPart(zip_t* z, const std::string& name, const std::string& what,
                 pugi::xml_document& doc, std::string& error) {
    std::string xml;
    if (!MemberByName(z, name, xml, error)) return false;
    if (!doc.load_buffer(xml.data(), xml.size())) {
        error = what + " is not well-formed XML";
        return false;
    }
    return true;
}

// The shared strings of the workbook, none when it has no such part.
bool SharedStrings(zip_t* z, std::vector<std::string>& strings, std::string& error) {
    if (zip_name_locate(z, "xl/sharedStrings.xml", 0) < 0) return true;
    pugi::xml_document shared;
    if (!LoadXmlPart(z, "xl/sharedStrings.xml", "xl/sharedStrings.xml", shared, error))
        return false;
    for (pugi::xml_node si : shared.document_element().children("si")) {
        std::string s;
        for (const pugi::xpath_node& n : si.select_nodes(".//*[local-name()='t']"))
            s += n.node().text().get();
        strings.push_back(std::move(s));
    }
    return true;
}

// Part names of the workbook's relationships, by relationship id.
std::map<std::string, std::string> RelationshipTargets(const pugi::xml_document& rels) {
    std::map<std::string, std::string> targets;
    for (pugi::xml_node r : rels.document_element().children("Relationship")) {
        std::string target = r.attribute("Target").value();
        if (target.rfind("/xl/", 0) == 0)
            target = target.substr(1);
        else
            target = "xl/" + target;
        targets[r.attribute("Id").value()] = target;
    }
    return targets;
}

// One cell of a worksheet part into (r, col) of `sheet`.
bool ReadXlsxCell(pugi::xml_node c, std::uint32_t r, std::uint32_t col, Sheet& sheet,
                  std::string& error) {
    const std::string type = c.attribute("t").value();
    const char* v = c.child("v").text().get();
    if (type == "s") {
        const auto k = c.child("v").text().as_ullong(~0ull);
        if (k < sheet.sharedCount())
            return sheet.SetShared(r, col, static_cast<std::uint32_t>(k), error);
    } else if (type == "str") {
        return sheet.SetText(r, col, v, error);
    } else if (type == "inlineStr") {
        std::string text;
        for (const pugi::xpath_node& n : c.select_nodes(".//*[local-name()='t']"))
            text += n.node().text().get();
        return sheet.SetText(r, col, std::move(text), error);
    } else if (*v) {
        std::size_t used = 0;
        const double value = ParseDouble(v, &used);
        if (used > 0) return sheet.SetNumber(r, col, value, error);
    }
    return sheet.Touch(r, col, error);
}

// The rows of one worksheet part into `sheet`; false with `error` set on a forged size.
bool ReadXlsxRows(const pugi::xml_document& doc, Sheet& sheet, std::string& error) {
    for (pugi::xml_node row : doc.document_element().child("sheetData").children("row")) {
        const long r = row.attribute("r").as_int(static_cast<int>(sheet.rows()) + 1);
        if (r < 1 || r > kXlsxMaxRows) {
            error = "sheet \"" + sheet.name + "\" has a row number out of range";
            return false;
        }
        const auto at = static_cast<std::uint32_t>(r - 1);
        if (!sheet.Touch(at, 0, error)) return false;
        for (pugi::xml_node c : row.children("c")) {
            const std::size_t col = ColumnOf(c.attribute("r").value());
            if (col > kXlsxMaxCols) continue;
            if (!ReadXlsxCell(c, at, static_cast<std::uint32_t>(col), sheet, error)) return false;
        }
    }
    return true;
}

}  // namespace

bool ZipIsWorkbook(std::string_view content) {
    std::string error;
    ZipPtr z = OpenZip(content, error);
    return z && zip_name_locate(z.get(), "xl/workbook.xml", 0) >= 0;
}

void ParseXlsx(std::string_view content, const ReadOptions& o, ParsedFile& out) {
    std::string error;
    ZipPtr z = OpenZip(content, error);
    if (!z) return out.Fail(ErrorCode::Damaged, error);
    pugi::xml_document workbook, rels;
    auto strings = std::make_shared<std::vector<std::string>>();
    if (!LoadXmlPart(z.get(), "xl/workbook.xml", "xl/workbook.xml", workbook, error) ||
        !LoadXmlPart(z.get(), "xl/_rels/workbook.xml.rels", "xl/_rels/workbook.xml.rels", rels,
                     error) ||
        !SharedStrings(z.get(), *strings, error))
        return out.Fail(ErrorCode::Damaged, error);
    const Sheet::SharedStrings shared = std::move(strings);
    const std::map<std::string, std::string> targets = RelationshipTargets(rels);
    std::vector<Sheet> sheets;
    for (pugi::xml_node s : workbook.document_element().child("sheets").children("sheet")) {
        Sheet sheet(s.attribute("name").value(), shared, kXlsxMaxRows, kXlsxMaxCols + 1);
        const auto t = targets.find(s.attribute("r:id").value());
        if (t == targets.end())
            return out.Fail(ErrorCode::Damaged, "sheet \"" + sheet.name + "\" has no part");
        pugi::xml_document doc;
        if (!LoadXmlPart(z.get(), t->second, t->second + " (sheet \"" + sheet.name + "\")", doc,
                         error) ||
            !ReadXlsxRows(doc, sheet, error))
            return out.Fail(ErrorCode::Damaged, error);
        sheets.push_back(std::move(sheet));
    }
    WorkbookCurves(sheets, o, "xlsx", out);
}

void ParseNanoTestZip(std::string_view content, const ReadOptions& o, ParsedFile& out) {
    std::string error;
    ZipPtr z = OpenZip(content, error);
    if (!z) return out.Fail(ErrorCode::Damaged, error);
    const zip_int64_t n = zip_get_num_entries(z.get(), 0);
    std::string data;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), 0);
        if (!name) continue;
        const std::string member = name;
        if (member.empty() || member.back() == '/') continue;  // a folder
        if (!ReadMember(z.get(), static_cast<zip_uint64_t>(i), data, error))
            return out.Fail(ErrorCode::Damaged, error);
        ParsedFile one;
        ParseNanoTestTxt(data, o, one);
        if (!one.status.ok())
            return out.Fail(ErrorCode::Damaged,
                            "member \"" + member + "\": " + one.status.reason());
        for (ParsedCurve& c : one.curves) {
            c.test = member;
            c.format = "nanotest-zip";
            out.curves.push_back(std::move(c));
        }
    }
    if (out.curves.empty()) out.Fail(ErrorCode::Damaged, "the archive holds no curve files");
}

}  // namespace marvek::io
