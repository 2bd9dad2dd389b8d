// ProfileDocument against the platform's own profile functions: every file of a corpus of
// awkward INI files is read and written both ways, and the values and the resulting files
// must agree byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/inifile/profile_document.h"

namespace belvane {
namespace {

using Bytes = std::string;

// A folder of our own with a GBK name, so paths travel as GBK as the program's do.
class Scratch {
 public:
  Scratch() {
    char name[64];
    std::snprintf(name, sizeof name, "配置测试%lu", GetCurrentProcessId());
    dir_ = name;
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  ~Scratch() {
    for (const std::string& f : Files()) {
      SetFileAttributesA((dir_ + "\\" + f).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((dir_ + "\\" + f).c_str());
    }
    RemoveDirectoryA(dir_.c_str());
  }
  // A full path, as the program passes them.
  std::string Path(const std::string& file) const {
    char full[MAX_PATH * 2];
    GetFullPathNameA((dir_ + "\\" + file).c_str(), sizeof full, full, nullptr);
    return full;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string n = found.cFileName;
      if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

 private:
  std::string dir_;
};

void PutFile(const std::string& path, const Bytes& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
  DWORD put = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(f);
}

// The file's bytes, or "<missing>".
Bytes GetFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  Bytes bytes(GetFileSize(f, nullptr), '\0');
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  return bytes;
}

// GetPrivateProfileStringA with a buffer that grows until the value fits.
Bytes PlatformRead(const std::string& path, const Bytes& section, const Bytes& key,
                   const Bytes& fallback) {
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD n =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path.c_str());
    if (n + 1 < buffer.size()) return Bytes(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

struct WriteOp {
  Bytes section, key, value;
};

struct CorpusFile {
  const char* name;
  Bytes bytes;
  bool missing = false;
};

Bytes B(const char* s, std::size_t n) {
  return Bytes(s, n);
}

// Awkward files the timetable may meet: hand edits, other editors, other tools.
std::vector<CorpusFile> Corpus() {
  return {
      {"default_crlf",
       "[time]\r\n1=08:30:00\r\n2=08:40:00\r\n[music]\r\n1=1.组织考生进入考场.m4a\r\n"
       "2=2.宣读考试规则.m4a\r\n[remark]\r\n1=30600\r\n2=31200\r\n[total]\r\nn=2\r\n"},
      {"lf_only_no_final_newline", "[time]\n1=08:30:00\n[total]\nn=1"},
      {"cr_only_and_mixed", "[time]\r1=a\r\r\n2=b\n\r3=c\r\n\r\n[total]\rn=3\r"},
      {"blanks_everywhere",
       "  [ time ]  \r\n\t 1 \t=\t 08:30:00 \t\r\n 2=  \r\n\r\n\r\n   [total]\r\n  n  =  7  \r\n"},
      {"case_and_duplicates",
       "[Time]\r\n1=first\r\n1=second\r\nKEY=upper\r\n[TIME]\r\n2=in second section\r\n"
       "[time]\r\n3=third\r\n[total]\r\nN=4\r\n"},
      {"quotes",
       "[q]\r\na=\"double\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"\r\ne=\"\"\r\nf=''\r\n"
       "g=  \"  padded  \"  \r\nh=\"inner\"quote\"\r\ni='\r\nj=\"a\" \r\n"},
      {"comments_and_lines_without_equals",
       "; a comment at the top\r\ntop=1\r\n[s]\r\n;k=commented\r\nk=real\r\nnoequals\r\n"
       "# hash=not a comment\r\n  ; indented comment\r\n[t]\r\n=empty name\r\n=second empty\r\n"
       "x\r\n=after x\r\n"},
      {"section_oddities",
       "[a]b]\r\nk=1\r\n[unclosed\r\nk=2\r\n[c] trailing text\r\nk=3\r\n[]\r\nk=4\r\n"
       "[ d ]\r\nk=5\r\n"},
      {"gbk_names_and_values",
       "[音乐]\r\n键=值\r\n1=１号 全角\r\n[时间表]\r\n开始=08:00:00\r\n"
       "[\x81\x5D]\r\n\x81\x41=trail A\r\n\x81\x61=trail "
       "a\r\n[\xA3\xC1\xA6\xA1]\r\nk=fullwidth\r\n"},
      {"z_at_the_top_of_the_alphabet", "[Zone]\r\nz=2\r\n"},  // read back as Z too
      // A trail byte equal to "]" after the section's own "]": the name is still "a".
      {"trail_bracket_after_close", "[a]\x81\x5D\r\nk=1\r\n"},
      {"control_bytes", "[s]\r\na=\x1a value \x1a\r\nb=\x0bv\x0c\r\nc=tab\tinside\r\n\x1a\r\n"},
      {"empty_values", "[s]\r\na=\r\nb= \r\nc=\t\r\n[total]\r\nn=\r\n"},
      {"long_line", "[s]\r\nlong=" + Bytes(70000, 'x') + "\r\nafter=1\r\n[音乐]\r\n长=" +
                        [] {
                          Bytes s;
                          for (int i = 0; i < 3000; ++i) s += "音乐";
                          return s;
                        }() +
                        "\r\n"},
      {"keys_before_any_section", "k=top\r\nj=also top\r\n[s]\r\nk=in s\r\n"},
      {"utf8_bom", "\xEF\xBB\xBF[s]\r\nk=\xE4\xB8\xAD\xE6\x96\x87\r\n[\xE9\x9F\xB3]\r\nx=1\r\n"},
      {"utf16le_bom", B("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x2D\x4E\x87\x65\r\0\n\0", 26)},
      {"utf16be_bom", B("\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\0v", 22)},
      {"nul_bytes", B("[s]\r\nk=a\0b\r\nj=2\r\n[t\0u]\r\nx=1\r\n", 29)},
      {"empty_file", ""},
      {"only_blank_lines", "\r\n\r\n  \r\n"},
      {"missing_file", "", true},
  };
}

// Every name the file spells, as written and in other cases and spacings, and a few more.
std::vector<Bytes> Names(const Bytes& text, bool sections) {
  std::set<Bytes> names{"", "missing", "time", "s", "音乐", "1", "n"};
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == Bytes::npos) end = text.size();
    Bytes line = text.substr(pos, end - pos);
    pos = end + 1;
    if (sections && !line.empty() && line[0] == '[') {
      names.insert(
          line.substr(1, line.find(']') == Bytes::npos ? Bytes::npos : line.find(']') - 1));
    } else if (!sections) {
      names.insert(line.substr(0, line.find('=')));
      names.insert(line);
    }
  }
  std::vector<Bytes> out;
  for (const Bytes& n : names) {
    if (n.size() > 100 || n.find('\0') != Bytes::npos) continue;
    out.push_back(n);
    Bytes upper = n;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (upper != n) out.push_back(upper);
    out.push_back(" " + n + "\t");
  }
  return out;
}

bool IsAnsiText(const CorpusFile& file) {
  return file.bytes.rfind("\xEF\xBB\xBF", 0) != 0 && file.bytes.rfind("\xFF\xFE", 0) != 0 &&
         file.bytes.rfind("\xFE\xFF", 0) != 0;
}

void ExpectSameReads(const std::string& path, const ProfileDocument& doc, const Bytes& text,
                     const std::string& label) {
  const std::vector<Bytes> defaults{"", "dflt", "  'q'  ", "\"d\"  ", " "};
  int compared = 0;
  for (const Bytes& section : Names(text, true)) {
    for (const Bytes& key : Names(text, false)) {
      const Bytes& fallback = defaults[compared++ % defaults.size()];
      EXPECT_EQ(doc.Read(section, key, fallback).Bytes(),
                PlatformRead(path, section, key, fallback))
          << label << " [" << section << "] " << key << " default '" << fallback << "'";
    }
  }
}

TEST(ProfileDocumentReading, GivesThePlatformsValueForEveryNameOfEveryCorpusFile) {
  Scratch scratch;
  for (const CorpusFile& file : Corpus()) {
    const std::string path = scratch.Path(std::string("read_") + file.name + ".ini");
    if (!file.missing) PutFile(path, file.bytes);
    const ProfileDocument doc = ProfileDocument::Load(path);
    if (IsAnsiText(file)) {
      ExpectSameReads(path, doc, file.bytes, file.name);
    } else {
      for (const char* key : {"k", "x", "K", "missing"}) {
        for (const char* section : {"s", "音", "S"}) {
          EXPECT_EQ(doc.Read(section, key, "d").Bytes(), PlatformRead(path, section, key, "d"))
              << file.name << " " << section << "/" << key;
        }
      }
    }
  }
}

// Write batches a caller may send: a timetable save, rewrites of what is there, names that
// differ only in case or blanks, and text that reshapes the file once written.
std::vector<std::vector<WriteOp>> Batches() {
  return {
      {{"time", "1", "08:30:00"},
       {"music", "1", "1.组织考生进入考场.m4a"},
       {"remark", "1", "30600"},
       {"time", "2", "09:00:00"},
       {"music", "2", ""},
       {"remark", "2", "32400"},
       {"total", "n", "2"}},
      {{"TIME", "1", "08:30:00"}, {"Total", "N", "7"}, {"s", "k", "real"}},
      {{" new section ", " key ", "  padded value  "},
       {"new section", "key", "padded value"},
       {"q", "a", "\"double\""},
       {"s", "noequals", ""},
       {"音乐", "键", "新值"}},
      {{"s", "a=b", "v"},
       {"s", "line", "one\r\ntwo=2"},
       {"s", "[x]", "y"},
       {"t", "[k", "v]"},
       {"s", "", "empty key"},
       {"", "k", "top value"},
       {"t", "k", "after reshaping"}},
      {{"\x81\x5D", "\x81\x61", "lower trail"},
       {"\xA3\xE1\xA6\xC1", "k", "other width"},
       {"s", "tail", "value   "},
       {"s", "tail", "value"}},
  };
}

TEST(ProfileDocumentWriting, LeavesAFileThatReadsAsThePerValueWritesForEveryCorpusFile) {
  Scratch scratch;
  const auto batches = Batches();
  for (const CorpusFile& file : Corpus()) {
    for (std::size_t b = 0; b < batches.size(); ++b) {
      const std::string label = std::string(file.name) + " batch " + std::to_string(b);
      const std::string platform_path = scratch.Path(label + " platform.ini");
      const std::string doc_path = scratch.Path(label + " document.ini");
      if (!file.missing) {
        PutFile(platform_path, file.bytes);
        PutFile(doc_path, file.bytes);
      }
      ProfileDocument doc = ProfileDocument::Load(doc_path);
      for (const WriteOp& op : batches[b]) {
        const bool expected =
            WritePrivateProfileStringA(op.section.c_str(), op.key.c_str(), op.value.c_str(),
                                       platform_path.c_str()) != 0;
        EXPECT_EQ(doc.Write(op.section, op.key, op.value), expected) << label;
      }
      ASSERT_TRUE(doc.SaveAtomically(doc_path)) << label;
      const Bytes expected = GetFile(platform_path);
      if (IsAnsiText(file)) {
        // The document read after its writes, and the file it saved read back, agree with the
        // platform reading its own file (the lines may differ: the platform rewrites them all).
        const Bytes text = expected == "<missing>" ? "" : expected;
        ExpectSameReads(platform_path, doc, text, label);
        ExpectSameReads(platform_path, ProfileDocument::Load(doc_path), text, label + " saved");
      } else {
        const ProfileDocument saved = ProfileDocument::Load(doc_path);
        for (const WriteOp& op : batches[b]) {
          EXPECT_EQ(saved.Read(op.section, op.key, "d").Bytes(),
                    PlatformRead(platform_path, op.section, op.key, "d"))
              << label;
        }
      }
    }
  }
}

// Timetable-shaped files through the application's save: keys 1..n of three sections and n.
Bytes TimetableText(int rows, const char* music_name) {
  Bytes time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  for (int i = 1; i <= rows; ++i) {
    const int s = (i * 7) % 86400;
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    const Bytes k = std::to_string(i);
    time += k + "=" + t + "\r\n";
    music += k + "=" + std::to_string(i) + "." + music_name + ".m4a\r\n";
    remark += k + "=" + std::to_string(s) + "\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + std::to_string(rows) + "\r\n";
}

void SaveRows(int rows, const char* music_name, const std::function<void(WriteOp)>& write) {
  for (int i = 1; i <= rows; ++i) {
    const Bytes k = std::to_string(i);
    const int s = (i * 11) % 86400;
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    write({"time", k, t});
    write({"music", k, k + "." + music_name + ".m4a"});
    write({"remark", k, std::to_string(s)});
  }
  write({"total", "n", std::to_string(rows)});
}

TEST(ProfileDocumentWriting, TimetableSaveOverALongerTimetableKeepsTheRowsAboveN) {
  Scratch scratch;
  for (const int rows : {0, 5, 40}) {
    const std::string platform_path = scratch.Path("tt platform " + std::to_string(rows) + ".ini");
    const std::string doc_path = scratch.Path("tt document " + std::to_string(rows) + ".ini");
    PutFile(platform_path, TimetableText(30, "宣读考试规则"));
    PutFile(doc_path, TimetableText(30, "宣读考试规则"));
    ProfileDocument doc = ProfileDocument::Load(doc_path);
    SaveRows(rows, "停止答题", [&](const WriteOp& op) {
      WritePrivateProfileStringA(op.section.c_str(), op.key.c_str(), op.value.c_str(),
                                 platform_path.c_str());
      doc.Write(op.section, op.key, op.value);
    });
    ASSERT_TRUE(doc.SaveAtomically(doc_path));
    EXPECT_EQ(GetFile(doc_path), GetFile(platform_path)) << rows << " rows";
  }
}

TEST(ProfileDocumentWriting, AFileTheWritesLeaveAsItWasIsNotTouched) {
  Scratch scratch;
  const std::string path = scratch.Path("untouched.ini");
  const Bytes odd = "; hand made\r\n\r\n[time]\r\n  1 = 08:30:00  \r\n\r\n[total]\r\nn=1";
  PutFile(path, odd);
  ProfileDocument doc = ProfileDocument::Load(path);
  EXPECT_TRUE(doc.Write("TIME", "1", "08:30:00"));
  EXPECT_TRUE(doc.Write("total", " n ", "  1"));
  EXPECT_FALSE(doc.Changed());
  ASSERT_TRUE(doc.SaveAtomically(path));
  EXPECT_EQ(GetFile(path), odd);
}

Bytes Utf8(std::u8string_view text) {
  return Bytes(text.begin(), text.end());
}

// A timetable Notepad saved as UTF-8 (with or without the mark) or UTF-16 reads as its text and
// is saved as GBK; one holding a character GBK lacks is not saved, and stays as it was.
TEST(ProfileDocumentSaving, ANotepadFileReadsAsItsTextAndIsSavedAsGbkOrNotAtAll) {
  Scratch scratch;
  const Bytes gbk_saved = "[music]\r\n1=上课.m4a\r\n[total]\r\nn=2\r\n";
  const std::u16string wide = u"[music]\r\n1=上课.m4a\r\n[total]\r\nn=1\r\n";
  Bytes utf16 = "\xFF\xFE";
  for (const char16_t unit : wide) {
    utf16 += static_cast<char>(unit & 0xFF);
    utf16 += static_cast<char>(unit >> 8);
  }
  const struct {
    const char* name;
    Bytes bytes;
    bool saves;
  } cases[] = {
      {"utf8", Utf8(u8"[music]\r\n1=上课.m4a\r\n[total]\r\nn=1\r\n"), true},
      {"utf8_mark", Utf8(u8"\uFEFF[music]\r\n1=上课.m4a\r\n[total]\r\nn=1\r\n"), true},
      {"utf16", utf16, true},
      {"utf8_gbk_lacks", Utf8(u8"[music]\r\n1=上课.m4a\r\n; ♫\r\n[total]\r\nn=1\r\n"), false},
  };
  for (const auto& c : cases) {
    const std::string path = scratch.Path(std::string(c.name) + ".ini");
    PutFile(path, c.bytes);
    ProfileDocument doc = ProfileDocument::Load(path);
    EXPECT_EQ(doc.Read("music", "1").Bytes(), "上课.m4a") << c.name;
    ASSERT_TRUE(doc.Write("total", "n", "2"));
    EXPECT_EQ(doc.SaveAtomically(path), c.saves) << c.name;
    EXPECT_EQ(GetFile(path), c.saves ? gbk_saved : c.bytes) << c.name;
  }
  EXPECT_EQ(scratch.Files().size(), std::size(cases)) << "no temporary file is left";
}

TEST(ProfileDocumentReading, KeepsInvalidGbkBytesWhereThePlatformSubstitutesThem) {
  // The platform reads a lead byte without its trail as "?" and writes the "?" back: the
  // document keeps the bytes it was given, so a rewrite never corrupts them.
  const ProfileDocument doc = ProfileDocument::FromBytes("[s]\r\na=x\x81\r\nb=2\r\n");
  EXPECT_EQ(doc.Read("s", "a").Bytes(), "x\x81");
  EXPECT_EQ(doc.Read("s", "b").Bytes(), "2");
}

TEST(ProfileDocumentReading, AFileThatCannotBeOpenedGivesTheDefaultAndRefusesWrites) {
  Scratch scratch;
  const std::string path = scratch.Path("no such folder\\t.ini");
  ProfileDocument doc = ProfileDocument::Load(path);
  EXPECT_FALSE(doc.Readable());
  EXPECT_EQ(doc.Read("time", "1", "'d'  ").Bytes(), PlatformRead(path, "time", "1", "'d'  "));
  EXPECT_EQ(doc.Write("time", "1", "x"),
            WritePrivateProfileStringA("time", "1", "x", path.c_str()) != 0);
}

// Saving.
int __stdcall FailingReplace(const char*, const char*, unsigned long) {
  SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}

TEST(ProfileDocumentSaving, AFailedReplaceLeavesTheOldFileWholeAndNoTemporaryFile) {
  Scratch scratch;
  const std::string path = scratch.Path("Belvane配置.ini");
  const Bytes old = TimetableText(7, "组织考生进入考场");
  PutFile(path, old);
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("time", "1", "23:59:59");
  ProfileDocument::SetReplaceStepForTesting(&FailingReplace);
  const bool saved = doc.SaveAtomically(path);
  ProfileDocument::SetReplaceStepForTesting(nullptr);
  EXPECT_FALSE(saved);
  EXPECT_EQ(GetFile(path), old);
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"Belvane配置.ini"});
}

TEST(ProfileDocumentSaving, ASuccessfulSaveReplacesTheFileAndLeavesNoTemporaryFile) {
  Scratch scratch;
  const std::string path = scratch.Path("Belvane配置.ini");
  PutFile(path, TimetableText(7, "组织考生进入考场"));
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("time", "1", "23:59:59");
  ASSERT_TRUE(doc.SaveAtomically(path));
  EXPECT_EQ(GetFile(path), doc.Serialize());
  EXPECT_EQ(ProfileDocument::Load(path).Read("time", "1").Bytes(), "23:59:59");
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"Belvane配置.ini"});
}

TEST(ProfileDocumentSaving, AReadOnlyLockedOrUnreachableTargetFailsAndChangesNothing) {
  Scratch scratch;
  const std::string path = scratch.Path("readonly.ini");
  const Bytes old = "[total]\r\nn=1\r\n";
  PutFile(path, old);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("total", "n", "2");
  EXPECT_FALSE(doc.SaveAtomically(path));
  EXPECT_FALSE(doc.SaveAtomically(scratch.Path("no such folder\\x.ini")));
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFile(path), old);
  // Another program holding the file open without leave to delete it.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_FALSE(doc.SaveAtomically(path));
  CloseHandle(held);
  EXPECT_EQ(GetFile(path), old);
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"readonly.ini"});
}

TEST(ProfileDocumentSaving, AFullDayTimetableComesBackIdentical) {
  Scratch scratch;
  const std::string path = scratch.Path("Belvane配置.ini");
  constexpr int kRows = 86400;
  auto music = [](int i) {
    return std::to_string(i) + ".请考生开始答题 " + std::to_string(i * 3) + ".m4a";
  };
  ProfileDocument doc = ProfileDocument::Load(path);
  for (int i = 1; i <= kRows; ++i) {
    const Bytes k = std::to_string(i);
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", (i - 1) / 3600, (i - 1) / 60 % 60, (i - 1) % 60);
    doc.Write("time", k, t);
    doc.Write("music", k, music(i));
    doc.Write("remark", k, std::to_string(i - 1));
  }
  doc.Write("total", "n", std::to_string(kRows));
  ASSERT_TRUE(doc.SaveAtomically(path));

  const ProfileDocument back = ProfileDocument::Load(path);
  ASSERT_EQ(back.Read("total", "n").Bytes(), "86400");
  for (int i = 1; i <= kRows; ++i) {
    const Bytes k = std::to_string(i);
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", (i - 1) / 3600, (i - 1) / 60 % 60, (i - 1) % 60);
    ASSERT_EQ(back.Read("time", k).Bytes(), t) << i;
    ASSERT_EQ(back.Read("music", k).Bytes(), music(i)) << i;
    ASSERT_EQ(back.Read("remark", k).Bytes(), std::to_string(i - 1)) << i;
  }
  // Spot checks against the platform reading the same file.
  for (const int i : {1, 2, 43200, 86400}) {
    EXPECT_EQ(PlatformRead(path, "music", std::to_string(i), ""), music(i));
  }
  EXPECT_EQ(back.Serialize(), GetFile(path));
}

TEST(ProfileDocumentWriting, EditsOnlyTheLinesItWritesAndKeepsEveryOtherByte) {
  // A hand-kept file: comments, blank lines, spacing around "=", LF line ends, no final one.
  const Bytes hand =
      "; bells for the exam days\n\n[time]\n  1 = 08:30:00   ; first\n2=08:40:00\n\n\n"
      "[total]\n   n = 2";
  ProfileDocument doc = ProfileDocument::FromBytes(hand);
  EXPECT_TRUE(doc.Write("TIME", "2", "09:00:00"));
  EXPECT_TRUE(doc.Write("time", "3", "10:00:00"));
  EXPECT_TRUE(doc.Write("total", "N", "3"));
  EXPECT_TRUE(doc.Write("music", "1", "a.m4a"));
  EXPECT_EQ(doc.Serialize(),
            "; bells for the exam days\n\n[time]\n  1 = 08:30:00   ; first\n2=09:00:00\n"
            "3=10:00:00\n\n\n[total]\n   n = 3\n[music]\n1=a.m4a\n");
  // A key in the file's head goes before the first section; CR LF files get CR LF lines.
  ProfileDocument crlf = ProfileDocument::FromBytes("top=1\r\n\r\n[s]\r\nk=v\r\n");
  EXPECT_TRUE(crlf.Write("", "head", "x"));
  EXPECT_EQ(crlf.Serialize(), "top=1\r\nhead=x\r\n\r\n[s]\r\nk=v\r\n");
}

TEST(ProfileDocumentSaving, AHeaderWithAStrayLeadByteBeforeABlankKeepsItsSection) {
  // "\x81" followed by "]" would read as one character: the header's blank must stay.
  Scratch scratch;
  const std::string path = scratch.Path("stray.ini");
  const Bytes before = "[abc\x81 ]\r\nk=1\r\n[z]\r\nj=2\r\n";
  PutFile(path, before);
  for (int save = 0; save < 2; ++save) {
    ProfileDocument doc = ProfileDocument::Load(path);
    ASSERT_TRUE(doc.Write("z", "j", std::to_string(3 + save)));
    ASSERT_TRUE(doc.SaveAtomically(path));
  }
  const ProfileDocument back = ProfileDocument::Load(path);
  EXPECT_EQ(back.Read("abc\x81 ", "k").Bytes(), "1");
  EXPECT_EQ(back.Read("z", "j").Bytes(), "4");
  EXPECT_EQ(GetFile(path), "[abc\x81 ]\r\nk=1\r\n[z]\r\nj=4\r\n");
}

TEST(ProfileDocumentSaving, ATimetableInAFolderNearThePathLimitIsSaved) {
  // The per-value writes reach paths up to 259 bytes; the save must too.
  Scratch scratch;
  std::string folder = scratch.Path("");
  folder.pop_back();
  const std::string name = "\\Belvane配置.ini";
  std::vector<std::string> made;
  for (std::size_t left = 255 - folder.size() - name.size(); left > 0;) {
    std::size_t length = std::min<std::size_t>(40, left - 1);
    if (left - 1 - length == 1) --length;  // never leave one byte: a folder takes two or more
    folder += "\\" + std::string(length, 'd');
    left -= length + 1;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size();
    made.push_back(folder);
  }
  const std::string path = folder + name;
  ASSERT_EQ(path.size(), 255u);
  PutFile(path, "[total]\r\nn=1\r\n");
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("total", "n", "2");
  EXPECT_TRUE(doc.SaveAtomically(path));
  EXPECT_EQ(PlatformRead(path, "total", "n", ""), "2");
  DeleteFileA(path.c_str());
  for (auto d = made.rbegin(); d != made.rend(); ++d) RemoveDirectoryA(d->c_str());
}

TEST(ProfileDocumentSaving, KeepsTheFilesAttributesAndItsOtherNames) {
  Scratch scratch;
  const std::string path = scratch.Path("kept.ini");
  PutFile(path, "[total]\r\nn=1\r\n");
  const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), set));
  ASSERT_EQ(GetFileAttributesA(path.c_str()) & set, set) << "the file system keeps no attributes";
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("total", "n", "2");
  ASSERT_TRUE(doc.SaveAtomically(path));
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & set, set);
  EXPECT_EQ(PlatformRead(path, "total", "n", ""), "2");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A second name of the same file sees the save.
  const std::string link = scratch.Path("link.ini");
  ASSERT_TRUE(CreateHardLinkA(link.c_str(), path.c_str(), nullptr));
  doc.Write("total", "n", "3");
  ASSERT_TRUE(doc.SaveAtomically(path));
  EXPECT_EQ(GetFile(link), "[total]\r\nn=3\r\n");
  EXPECT_EQ(GetFile(path), "[total]\r\nn=3\r\n");
  EXPECT_EQ(scratch.Files().size(), 2u);
}

TEST(ProfileDocumentSaving, WithoutLeaveToCreateFilesTheFileIsRewrittenInPlaceOrTheSaveFails) {
  Scratch scratch;
  const std::string path = scratch.Path("inplace.ini");
  PutFile(path, "; mine\r\n[total]\r\nn=10\r\nold=a long line that the new file no longer has\r\n");
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Write("total", "n", "2");
  ProfileDocument::SetTemporaryFilesRefusedForTesting(true);
  const bool saved = doc.SaveAtomically(path);
  // Another program holding the file without leave to write: the failure is told.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  doc.Write("total", "n", "3");
  const bool saved_while_held = doc.SaveAtomically(path);
  CloseHandle(held);
  ProfileDocument::SetTemporaryFilesRefusedForTesting(false);
  EXPECT_TRUE(saved);
  EXPECT_FALSE(saved_while_held);
  EXPECT_EQ(GetFile(path),
            "; mine\r\n[total]\r\nn=2\r\nold=a long line that the new file no longer has\r\n");
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"inplace.ini"});
}

}  // namespace
}  // namespace belvane
