// The entry point of marvek_workbook_readers.so.

#include "workbook_module.h"

#include "workbook_formats.h"

extern "C" __attribute__((visibility("default"))) const void* marvek_workbook_readers() {
    static const marvek::io::WorkbookReaders readers{
        sizeof(marvek::io::ParsedFile), sizeof(marvek::io::ReadOptions), &marvek::io::ParseXlsx,
        &marvek::io::ParseNanoTestZip, &marvek::io::ZipIsWorkbook};
    return &readers;
}
