#include "platform/spreadsheet/xls/compound_file.h"

#include "xls_test_support.h"

#include <gtest/gtest.h>

namespace {

using xltest::dataFile;
using xltest::load;
using xltest::sharedWorkbook;

// The small-workbook fixture is only worth its name while its Workbook
// stream really sits in the mini stream; the many-rows one in regular sectors.
TEST(CompoundFile, ReadsStreamsFromTheMiniStreamAndFromRegularSectors) {
    const struct {
        const char* file;
        bool mini;
    } cases[] = {
        {"mini-stream-small-waybill.xls", true},
        {"sheetjs-waybills.xls", true},
        {"sst-continue-encoding-switch.xls", false},
        {"sheetjs-many-rows.xls", false},
        {"version-4-small-waybill.xls", true},
        {"version-4-sst-continue.xls", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray bytes = load(dataFile(c.file));
        const xl::CompoundFile doc(bytes);
        const QByteArray workbook = doc.readRootStream(QStringLiteral("WORKBOOK"));  // any letter case
        EXPECT_EQ(workbook.size() < 4096, c.mini) << workbook.size();
        // Every Workbook stream starts with a BIFF8 BOF record.
        ASSERT_GE(workbook.size(), 6);
        EXPECT_EQ(workbook.left(2), QByteArray("\x09\x08", 2));
        EXPECT_EQ(workbook.mid(4, 2), QByteArray("\x00\x06", 2));
    }
}

TEST(CompoundFile, ListsTheStreamsUnderTheRoot) {
    const QByteArray bytes = load(sharedWorkbook("excel-encrypted-agile-aes256.xlsx"));
    const xl::CompoundFile doc(bytes);
    const auto names = doc.rootStreamNames();
    EXPECT_NE(std::find(names.begin(), names.end(), QStringLiteral("EncryptionInfo")), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), QStringLiteral("EncryptedPackage")), names.end());
    EXPECT_TRUE(doc.hasRootEntry(QStringLiteral("\x06" "DataSpaces")));  // a storage
    EXPECT_FALSE(doc.hasRootEntry(QStringLiteral("Workbook")));
    EXPECT_THROW(doc.readRootStream(QStringLiteral("Workbook")), xl::CompoundFileError);
    EXPECT_THROW(doc.readRootStream(QStringLiteral("\x06" "DataSpaces")), xl::CompoundFileError);
}

}  // namespace
