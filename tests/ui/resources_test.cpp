// tests/ui/resources_test.cpp: the stub's resources as Windows reads them from the file:
// both dialog templates control by control, the string, the icon sizes, the bitmaps
// and the version block, all in US English.
#include <gtest/gtest.h>

#include "tests/ui/driver.h"
#include "ui/resource.h"

namespace {

const WORD UsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

struct Item {
    int id;
    std::string windowClass; // "Button", "Static" or a registered class name
    std::string text;        // or "#133" for a resource ordinal
    DWORD style;
    short x, y, cx, cy;
};

struct Dialog {
    bool extended = false;
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string title, face;
    int pointSize = 0, weight = 0, italic = 0, charset = 0;
    std::vector<Item> items;
};

// Reads a dialog template as laid out in the file: a WORD cursor over the data.
class CTemplateReader {
  public:
    explicit CTemplateReader(const BYTE* data) : m_data(data) {}
    WORD Word() { return ReadAs<WORD>(); }
    DWORD Dword() { return ReadAs<DWORD>(); }
    short Short() { return ReadAs<short>(); }
    BYTE Byte() { return m_data[m_offset++]; }
    void AlignDword() { m_offset = (m_offset + 3) & ~size_t{3}; }
    // A name or an ordinal (written as "#n"); empty when absent.
    std::string NameOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::string text;
        for (WORD ch = first; ch != 0; ch = Word()) {
            text += static_cast<char>(ch);
        }
        return text;
    }

  private:
    template <class T>
    T ReadAs() {
        T value;
        memcpy(&value, m_data + m_offset, sizeof value);
        m_offset += sizeof value;
        return value;
    }
    const BYTE* m_data;
    size_t m_offset = 0;
};

// Templates name the system classes by ordinal or by name, in any case.
std::string ClassName(const std::string& name) {
    if (name == "#128" || lstrcmpiA(name.c_str(), "Button") == 0) {
        return "Button";
    }
    if (name == "#130" || lstrcmpiA(name.c_str(), "Static") == 0) {
        return "Static";
    }
    return name;
}

class StubResources : public ::testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryExA(g_paths.stub.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override { FreeLibrary(module); }

    const BYTE* Resource(const char* type, int id, DWORD* size = nullptr) const {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), UsEnglish);
        if (found == nullptr) {
            return nullptr;
        }
        if (size != nullptr) {
            *size = SizeofResource(module, found);
        }
        return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    }

    Dialog ReadDialog(int id) const {
        Dialog dialog;
        const BYTE* data = Resource(RT_DIALOG, id);
        EXPECT_NE(nullptr, data) << "dialog " << id;
        if (data == nullptr) {
            return dialog;
        }
        CTemplateReader in(data);
        dialog.extended = memcmp(data, "\x01\x00\xFF\xFF", 4) == 0;
        WORD count = 0;
        if (dialog.extended) {
            in.Dword();
            dialog.helpId = in.Dword();
            dialog.exStyle = in.Dword();
            dialog.style = in.Dword();
        } else {
            dialog.style = in.Dword();
            dialog.exStyle = in.Dword();
        }
        count = in.Word();
        dialog.x = in.Short();
        dialog.y = in.Short();
        dialog.cx = in.Short();
        dialog.cy = in.Short();
        EXPECT_EQ("", in.NameOrOrdinal()) << "no menu";
        EXPECT_EQ("", in.NameOrOrdinal()) << "the standard dialog class";
        dialog.title = in.NameOrOrdinal();
        dialog.pointSize = in.Word();
        if (dialog.extended) {
            dialog.weight = in.Word();
            dialog.italic = in.Byte();
            dialog.charset = in.Byte();
        }
        dialog.face = in.NameOrOrdinal();
        for (WORD i = 0; i < count; ++i) {
            in.AlignDword();
            Item item;
            if (dialog.extended) {
                in.Dword(); // help ID
                in.Dword(); // extended style
                item.style = in.Dword();
            } else {
                item.style = in.Dword();
                in.Dword();
            }
            item.x = in.Short();
            item.y = in.Short();
            item.cx = in.Short();
            item.cy = in.Short();
            item.id = dialog.extended ? static_cast<int>(in.Dword()) : static_cast<short>(in.Word());
            item.windowClass = ClassName(in.NameOrOrdinal());
            item.text = in.NameOrOrdinal();
            WORD extra = in.Word();
            for (WORD b = 0; b < extra; ++b) {
                in.Byte();
            }
            dialog.items.push_back(item);
        }
        return dialog;
    }

    // (No SCOPED_TRACE: its thread-local state crashes GoogleTest's exit on MinGW.)
    static void ExpectItems(const std::vector<Item>& expected, const std::vector<Item>& actual) {
        ASSERT_EQ(expected.size(), actual.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const Item& want = expected[i];
            const Item& got = actual[i];
            std::string where = "control " + std::to_string(i + 1) + " in tab order";
            EXPECT_EQ(want.id, got.id) << where;
            EXPECT_EQ(0, lstrcmpiA(want.windowClass.c_str(), got.windowClass.c_str()))
                << where << ": " << got.windowClass;
            if (want.text == "*") {
                EXPECT_FALSE(got.text.empty()) << where << ": a text of the maker's";
            } else {
                EXPECT_EQ(want.text, got.text) << where;
            }
            EXPECT_EQ(want.style, got.style) << where << std::hex << ": style " << got.style;
            EXPECT_EQ((std::vector<short>{want.x, want.y, want.cx, want.cy}),
                      (std::vector<short>{got.x, got.y, got.cx, got.cy}))
                << where;
        }
    }

    HMODULE module = nullptr;
};

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD Text = Child | SS_LEFT | WS_GROUP;

TEST_F(StubResources, MainDialogTemplate) {
    Dialog dialog = ReadDialog(IDD_SELFEXTRACT_DIALOG);
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(0u, dialog.helpId);
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION),
              dialog.style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), dialog.exStyle);
    EXPECT_EQ((std::vector<short>{0, 0, 258, 66}),
              (std::vector<short>{dialog.x, dialog.y, dialog.cx, dialog.cy}));
    EXPECT_EQ("Kelvane Pro Self-Extractor", dialog.title);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(FW_NORMAL, dialog.weight);
    EXPECT_EQ(0, dialog.italic);
    EXPECT_EQ(DEFAULT_CHARSET, dialog.charset);
    EXPECT_EQ("MS Sans Serif", dialog.face);
    ExpectItems(
        {
            {IDOK, "Button", "Install", Child | BS_DEFPUSHBUTTON | WS_TABSTOP, 200, 5, 50, 14},
            {IDCANCEL, "Button", "Cancel", Child | BS_PUSHBUTTON | WS_TABSTOP, 200, 25, 50, 14},
            {IDC_STATIC, "Button", "", Child | BS_GROUPBOX, 5, 1, 188, 51},
            {IDC_ABOUT, "Button", "About", Child | BS_PUSHBUTTON | WS_TABSTOP, 200, 45, 50, 14},
            {IDC_STATIC, "Static", "#133", Child | SS_BITMAP, 10, 10, 40, 30},
            {IDC_STATIC, "Static", "This will install", Text, 50, 10, 45, 8},
            {IDC_PROGRESS, "msctls_progress32", "", WS_CHILD | WS_BORDER, 5, 55, 190, 10},
            {IDC_HOMEPAGE, "Static", "www.kelvane.example", Text, 50, 55, 114, 8},
            {IDC_PRODUCT, "Static", "Kelvane Professional Edition v1.0", Text, 51, 18, 138, 10},
            {IDC_STATIC, "Static",
             "on your computer. To continue the installation, click Install. Otherwise, click Cancel.", Text,
             51, 26, 138, 24},
            {IDC_STATUS, "Static", "KelvanePro Initializing....", Text & ~WS_VISIBLE, 66, 55, 82, 8},
        },
        dialog.items);
}

TEST_F(StubResources, AboutDialogTemplate) {
    Dialog dialog = ReadDialog(IDD_ABOUTBOX);
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ((std::vector<short>{0, 0, 199, 218}),
              (std::vector<short>{dialog.x, dialog.y, dialog.cx, dialog.cy}));
    EXPECT_EQ("About Kelvane Pro Self-Extractor", dialog.title);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.face);
    ExpectItems(
        {
            {IDC_STATIC, "Static", "Kelvane Pro Self-Extractor", Text | SS_NOPREFIX, 52, 15, 88, 8},
            {IDC_STATIC, "Static", "Version 1.0", Text, 52, 25, 36, 8},
            {IDOK, "Button", "OK", Child | BS_DEFPUSHBUTTON | WS_TABSTOP, 83, 196, 32, 14},
            {IDC_STATIC, "Static", "#132", Child | SS_BITMAP | SS_REALSIZEIMAGE, 13, 14, 32, 30},
            {IDC_STATIC, "Static", "Size In Bytes:", Text, 52, 37, 44, 8},
            {IDC_SIZE, "Static", "0", Text, 98, 37, 86, 8},
            {IDC_STATIC, "Static", "*", Text, 15, 54, 111, 8},
            {IDC_STATIC, "Static", "*", Text, 15, 64, 63, 8},
            {IDC_STATIC, "Static", "*", Text, 14, 79, 169, 34},
            {IDC_STATIC, "Static", "*", Text, 13, 115, 173, 41},
            {IDC_STATIC, "Static", "*", Text, 13, 164, 171, 25},
            {IDC_STATIC, "Button", "", Child | BS_GROUPBOX, 7, 7, 185, 186},
        },
        dialog.items);
}

TEST_F(StubResources, StringIconBitmapsAndVersion) {
    char text[64];
    EXPECT_EQ(std::string("&About TQ5..."),
              std::string(text, LoadStringA(module, IDS_ABOUTBOX, text, sizeof text)));

    // Icon group: 16, 32 and 48 pixels, 8 bits per pixel (256 colours).
    const BYTE* group = Resource(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_NE(nullptr, group);
    WORD count;
    memcpy(&count, group + 4, sizeof count);
    ASSERT_EQ(3, count);
    for (int i = 0; i < 3; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        WORD bits;
        memcpy(&bits, entry + 6, sizeof bits);
        const int sizes[] = {16, 32, 48};
        EXPECT_EQ(sizes[i], entry[0]);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(8, bits);
    }

    for (int id : {IDB_ABOUTLOGO, IDB_LOGO}) {
        const BYTE* bitmap = Resource(RT_BITMAP, id);
        ASSERT_NE(nullptr, bitmap) << id;
        BITMAPINFOHEADER header;
        memcpy(&header, bitmap, sizeof header);
        EXPECT_EQ(48, header.biWidth) << id;
        EXPECT_EQ(48, header.biHeight) << id;
        EXPECT_EQ(8, header.biBitCount) << id;
    }

    DWORD size = 0;
    const BYTE* version = Resource(RT_VERSION, VS_VERSION_INFO, &size);
    ASSERT_NE(nullptr, version);
    std::string copy(reinterpret_cast<const char*>(version), size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&copy[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", ""},
        {"FileDescription", "KelvanePro Self Extractor"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "TQ5"},
        {"OriginalFilename", "TQ5.EXE"},
        {"ProductName", "KelvanePro Self Extractor"},
        {"ProductVersion", "1, 0, 0, 1"},
    };
    for (const auto& [name, expected] : strings) {
        char* value = nullptr;
        UINT valueLength = 0;
        std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
        ASSERT_TRUE(VerQueryValueA(&copy[0], path.c_str(), reinterpret_cast<void**>(&value), &valueLength))
            << name;
        EXPECT_STREQ(expected, value) << name;
    }
    char* copyright = nullptr;
    EXPECT_TRUE(VerQueryValueA(&copy[0], "\\StringFileInfo\\040904b0\\LegalCopyright",
                               reinterpret_cast<void**>(&copyright), &length));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(&copy[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);
}

} // namespace
