#include "app/startup.h"

int main(int argc, char** argv) {
    return qm::RunProgram(argc, argv);
}
