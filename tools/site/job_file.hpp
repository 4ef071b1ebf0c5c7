// The jobs file of a site run: one download file a line, with the fields of zibrolt's command
// line (function, terminal, file, mode, optional "/d") separated by blanks or tabs. A field
// holding blanks is written in double quotes; blank lines and lines starting with "#" are
// comments. A file with any line not well formed runs nothing, so a typing error never leaves
// a site half written.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zibrolt::site {

struct SiteJob {
  int line = 0;          // line number in the jobs file, from 1
  std::string function;  // upper case, as zibrolt compares it
  std::string terminal;
  std::string path;      // the download file, relative to the working directory
  bool create = false;   // mode "1": written anew; "0": appended to
  bool verbose = false;  // "/d"
};

struct JobFileError {
  int line;
  std::string text;  // German, without line end; values shown with control bytes as \xNN
};

// Splits one line into its fields; false with why in *problem when a quote is not closed or a
// field holds a control byte.
bool SplitJobLine(std::string_view line, std::vector<std::string>& fields, std::string* problem);

// Reads every job of the text. Returns the errors, one per bad line, in line order; jobs holds
// the good ones. A byte order mark at the start is skipped; jobs that share a file are an error
// unless every one of them appends.
std::vector<JobFileError> ParseJobs(std::string_view text, std::vector<SiteJob>& jobs);

// Two paths that name the same file once links and ".." are resolved are one file.
std::string CanonicalPath(const std::string& path);

// A field as a jobs file line writes it: in double quotes when it holds blanks or tabs, starts
// with "#" or is empty. False when the value cannot be written (a double quote or a control
// byte in it).
bool QuoteField(std::string_view value, std::string& out);

}  // namespace zibrolt::site
