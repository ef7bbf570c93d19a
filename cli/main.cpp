#include "cli/app.h"

int main(int argc, char** argv) { return q9::cli::Run(argc, argv); }
