// tests/packer/layout_test.cpp: reading an installer's layout, and naming the right entry
// for every way it can be cut short or damaged.
#include <gtest/gtest.h>

#include "tests/packer/packer_support.h"
#include "tools/sfxpack/layout.h"

namespace {

constexpr int32_t Stub = 100;

class LayoutTest : public ::testing::Test {
  protected:
    PayloadLayout Read(const std::string& image, int32_t stubLength = Stub) {
        WriteFileBytes(dir / "installer.exe", image);
        CFileStream file;
        EXPECT_TRUE(file.Open((dir / "installer.exe").c_str(), CFileStream::modeRead));
        PayloadLayout layout;
        ReadPayloadLayout(file, stubLength, layout);
        return layout;
    }

    ScratchDir dir;
};

TEST_F(LayoutTest, FindsEveryEntryOfACompleteInstaller) {
    std::vector<std::string> entries = {"one", "", "three", "", "", "six!!!"};
    PayloadLayout six = Read(BuildInstaller(Stub, "Title", entries));
    EXPECT_TRUE(six.IsComplete()) << DescribeProblem(six);
    EXPECT_EQ(6, six.entryCount);
    EXPECT_EQ("Title" + std::string(35, ' '), six.title);
    EXPECT_EQ(Stub + 40 + 10, six.entries[0].offset);
    EXPECT_EQ(3, six.entries[0].declared);
    EXPECT_EQ(Stub + 40 + 10 + 3 + 10 + 10, six.entries[2].offset);
    EXPECT_EQ(6, six.entries[5].available);

    entries.push_back("seventh");
    PayloadLayout seven = Read(BuildInstaller(Stub, "Title", entries));
    EXPECT_TRUE(seven.IsComplete());
    EXPECT_EQ(7, seven.entryCount);
    EXPECT_EQ(static_cast<int64_t>(seven.fileLength - 7), seven.entries[6].offset);
}

// Cuts a small installer at every length and checks that the problem names the part
// where the file ends.
TEST_F(LayoutTest, EveryTruncationPointNamesWhereTheFileEnds) {
    std::vector<std::string> entries = {"one", "", "three", "", "", "six", "seventh"};
    const std::string full = BuildInstaller(Stub, "T", entries);
    // Where each entry's length field and data start and end.
    std::vector<int64_t> fieldAt;
    int64_t at = Stub + 40;
    for (const std::string& entry : entries) {
        fieldAt.push_back(at);
        at += 10 + static_cast<int64_t>(entry.size());
    }
    for (size_t cut = 0; cut < full.size(); ++cut) {
        PayloadLayout layout = Read(full.substr(0, cut));
        std::string message = DescribeProblem(layout);
        int64_t end = static_cast<int64_t>(cut);
        if (end < Stub) {
            EXPECT_EQ(LayoutProblem::StubBeyondEnd, layout.problem) << cut;
            continue;
        }
        if (end == Stub) {
            EXPECT_EQ(LayoutProblem::NoPayload, layout.problem) << cut;
            continue;
        }
        if (end < Stub + 40) {
            EXPECT_EQ(LayoutProblem::TitleCut, layout.problem) << cut;
            continue;
        }
        int entry = 0;
        while (entry + 1 < 7 && fieldAt[entry + 1] <= end) {
            ++entry;
        }
        std::string label = "entry " + std::to_string(entry + 1) + " (" + EntryNames[entry] + ")";
        if (entry == 6 && end == fieldAt[6]) {
            EXPECT_TRUE(layout.IsComplete()) << "six entries and nothing after them: " << message;
        } else if (end < fieldAt[entry] + 10) {
            EXPECT_EQ(LayoutProblem::FieldCut, layout.problem) << cut;
            EXPECT_EQ(0u, message.find(label + ": the length field is ")) << message;
        } else {
            EXPECT_EQ(LayoutProblem::EntryCut, layout.problem) << cut;
            int64_t present = end - fieldAt[entry] - 10;
            EXPECT_EQ(label + " declares " + std::to_string(entries[entry].size()) +
                          " bytes but the file ends after " + std::to_string(present),
                      message);
        }
    }
}

TEST_F(LayoutTest, NamesTheExampleEntryOfTheManual) {
    std::string image = BuildInstaller(Stub, "T", {"1", "2"}) + LengthField(5000) + PatternBytes(1200, 1);
    EXPECT_EQ("entry 3 (setup.aux) declares 5000 bytes but the file ends after 1200",
              DescribeProblem(Read(image)));
}

TEST_F(LayoutTest, RefusesFieldsTheStubWouldMisread) {
    const std::string head = BuildInstaller(Stub, "T", {"one"});
    std::string justTooLarge = LengthField(INT32_MAX);
    justTooLarge[9] = LengthField(8)[9]; // 2147483648
    // A letter among the digits, ten nines (wraps in 32 bits), a field reading -10, 2^31.
    for (const std::string& field :
         {std::string("\x0A\x0A\x0A\x0A\x0A\x41\x0A\x0A\x0A\x0A"), std::string(10, '\x13'),
          std::string("\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x00", 10), justTooLarge}) {
        PayloadLayout layout = Read(head + field + "data");
        EXPECT_EQ(LayoutProblem::BadField, layout.problem);
        EXPECT_EQ(1, layout.problemEntry);
        std::string message = DescribeProblem(layout);
        EXPECT_EQ(0u, message.find("entry 2 (Setup.jar): the length field (")) << message;
        EXPECT_NE(std::string::npos, message.find(") is not a length from 0 to 2147483647")) << message;
    }
    // The largest length is still a length: the entry is merely cut short.
    EXPECT_EQ(LayoutProblem::EntryCut, Read(head + LengthField(INT32_MAX) + "data").problem);
}

TEST_F(LayoutTest, ReportsBytesAfterTheLastEntryAndStubsThatDoNotFit) {
    std::vector<std::string> seven = {"1", "2", "3", "4", "5", "6", "7"};
    PayloadLayout trailing = Read(BuildInstaller(Stub, "T", seven) + "xyz");
    EXPECT_EQ(LayoutProblem::TrailingBytes, trailing.problem);
    EXPECT_EQ("3 bytes follow the last entry; the stub never reads them", DescribeProblem(trailing));

    std::string image = BuildInstaller(Stub, "T", {"1"});
    EXPECT_EQ(LayoutProblem::StubBeyondEnd, Read(image, static_cast<int32_t>(image.size()) + 1).problem);
    EXPECT_EQ(LayoutProblem::StubBeyondEnd, Read(image, -1).problem);
    PayloadLayout bare = Read(image.substr(0, Stub));
    EXPECT_EQ("no payload: the file ends where the stub does, after 100 bytes", DescribeProblem(bare));
}

// A signature's padding and certificate table are neither entries nor trailing bytes;
// a table the stub would take for payload is a problem of its own.
TEST_F(LayoutTest, ReadsSignedInstallersUpToTheirCertificateTable) {
    const std::string stub = PeStub(600, false);
    for (size_t extra = 0; extra < 8; ++extra) {
        std::string image = BuildInstaller(stub, "T", {"1", "2", "3", "4", "5", std::string(1 + extra, '6')});
        AppendCertificateTable(image, 700);
        PayloadLayout layout = Read(image, 600);
        EXPECT_TRUE(layout.IsComplete()) << extra << ": " << DescribeProblem(layout);
        EXPECT_EQ(6, layout.entryCount) << extra;
        EXPECT_EQ(Signature::AtEnd, layout.bounds.signature);
        EXPECT_EQ(static_cast<int64_t>(image.size() - 700), layout.bounds.tableOffset);
    }

    std::string seven = BuildInstaller(stub, "T", {"1", "2", "3", "4", "5", "6", "7"});
    std::string trailing = seven + "xyz";
    AppendCertificateTable(trailing, 700);
    EXPECT_EQ(LayoutProblem::TrailingBytes, Read(trailing, 600).problem) << "bytes besides zeros";

    std::string appended = seven;
    AppendCertificateTable(appended, 700);
    appended += "after signing";
    PayloadLayout misplaced = Read(appended, 600);
    EXPECT_EQ(LayoutProblem::TableMisplaced, misplaced.problem);
    EXPECT_EQ(0u, DescribeProblem(misplaced).find("the PE header names a certificate table at "));

    std::string signedStub = stub;
    AppendCertificateTable(signedStub, 700);
    PayloadLayout bare = Read(signedStub, 600);
    EXPECT_EQ(LayoutProblem::NoPayload, bare.problem);
    EXPECT_EQ(LayoutProblem::TableOverlaps, Read(signedStub, 601).problem);
}

} // namespace
