#pragma once
// The verbs of kvlist, each given its operands only (counted by the
// dispatcher), each in a file of its own named after it.
int runFind(int argc, char **argv);
int runSheet(int argc, char **argv);
int runMove(int argc, char **argv);
int runCheck(int argc, char **argv);
int runView(int argc, char **argv);
