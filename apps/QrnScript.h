// "qrn compile SCRIPT [-o OUT] [--byte-order big]" and "qrn disasm FILE":
// scripts compiled by the engine's own compiler and saved in the form the
// engine loads (version byte 2, little-endian; or version 1 with every
// multi-byte field reversed), and compiled scripts listed as they load:
// each command by its index with its name and operand (a jump's target, or
// the words of its list by name), then the heap variables the file adds,
// with their kind and form.
#pragma once

#include <string>
#include <vector>

// The compile and disasm commands with their arguments (after the command
// name); return the exit status.
int qrnCompileCommand(const std::vector<std::string>& args);
int qrnDisasmCommand(const std::vector<std::string>& args);
