#include "app/Velmora.h"

int main(int argc, char** argv) {
    return velmora::VelmoraMain(argc, argv);
}
