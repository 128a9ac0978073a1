#pragma once
// The program on disk: the program file (.pgm), the code snippet (.snp) and the text listing (.txt).
// Readers and writers return "" on success or the text the editor shows in its message box; they never
// show anything themselves. Every write goes through a temporary file renamed over the old one, so a
// failed save leaves the old file as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "program/program_store.h"

// One record of a program or snippet file: the three words and an 80-byte comment field.
constexpr std::size_t kFileRecordBytes = ProgramLine::kBytes + 80;
constexpr std::size_t kCommentFieldBytes = 80;
constexpr std::size_t kMaxCommentLength = 79;
constexpr std::size_t kProgramFileBytes = ProgramStore::kLastLine * kFileRecordBytes;  // 352,256

// Messages, byte for byte as the editor shows them.
inline constexpr const char* kFileErrorText = "File Error";
inline constexpr const char* kPgmNotFoundText = "PGM File Not Found";
inline constexpr const char* kFileOpenErrorText = "File Open Error";

// The bytes of a program file for lines 1..4096. An empty comment is written as " " and becomes " " in the
// store too.
std::string EncodeProgramFile(ProgramStore& store);
// Fills lines 1..4096 from program-file bytes. Records missing from a short file become empty lines.
void DecodeProgramFile(std::string_view bytes, ProgramStore& store);

// Writes the program file at path (as given). Modified is cleared only after the whole file is safely in
// place. Errors: "File Error". The write function is a seam for fault tests.
std::string SavePGMFile(ProgramStore& store, const std::string& path,
                        platform::AtomicFileWriter::WriteFunction write = {});
// Reads the program file named by path with its extension replaced by ".PGM" (found whatever its case).
// Errors: "PGM File Not Found", "File Error" (nothing in the store changes then). Modified and FileName are
// left alone; the editor re-renders the listing afterwards.
std::string LoadPGMFile(ProgramStore& store, const std::string& path);

// Writes lines first..last as a snippet (empty comments stay empty) and makes the snippet's path the
// program's FileName. Errors: "File Error".
std::string SaveSnippetFile(ProgramStore& store, const std::string& path, int first, int last,
                            platform::AtomicFileWriter::WriteFunction write = {});
// Reads the whole records of a snippet (at most 4097, more than any row can take); a trailing part record
// is ignored. Errors: "File Open Error".
// The editor inserts the result with ProgramStore::InsertBlock.
std::string ReadSnippetFile(const std::string& path, std::vector<ProgramLine>& lines,
                            std::vector<std::string>& comments);

// The text listing. texts and comments are the grid's Program Text and Comments cells, indexed by line
// number (entries 1..4096); the store tells END lines apart.
// The last listed line: the highest of 3..4096 whose text is not empty or that is END, else 2.
int LastListedLine(const ProgramStore& store, const std::vector<std::string>& texts);
// " %04d - <text>", blanks up to the widest text + 10, " // ", the comment; at most 403 characters.
std::vector<std::string> ListingLines(const ProgramStore& store, const std::vector<std::string>& texts,
                                      const std::vector<std::string>& comments);
// Writes the lines, each ended by CR LF. Errors: "File Error".
std::string WriteListingFile(const std::string& path, const std::vector<std::string>& lines);
