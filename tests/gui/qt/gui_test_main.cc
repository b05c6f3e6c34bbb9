// The desktop front-end's tests, one QtTest suite per area. Run all, or one suite by its name as
// the first argument (the remaining arguments go to QtTest). Needs no display: ctest sets
// QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <cstring>
#include <vector>

int RunDialogsTests(int argc, char** argv);
int RunSettingsDialogTests(int argc, char** argv);
int RunRunDialogTests(int argc, char** argv);
int RunHandOverTests(int argc, char** argv);
int RunSingleInstanceTests(int argc, char** argv);

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  struct Suite {
    const char* name;
    int (*run)(int, char**);
  };
  const Suite suites[] = {{"Dialogs", RunDialogsTests},
                          {"SettingsDialog", RunSettingsDialogTests},
                          {"RunDialog", RunRunDialogTests},
                          {"HandOver", RunHandOverTests},
                          {"SingleInstance", RunSingleInstanceTests}};
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> args{argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);
  int failures = 0;
  for (const Suite& suite : suites) {
    if (only && std::strcmp(only, suite.name) != 0) continue;
    failures += suite.run(static_cast<int>(args.size()), args.data());
  }
  return failures == 0 ? 0 : 1;
}
