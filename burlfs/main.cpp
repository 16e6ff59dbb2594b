#include "startup.h"

int main(int argc, char **argv) { return burlfs_main(argc, argv); }
