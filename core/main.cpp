#include "core/main_loop.h"

int main(int argc, char** argv)
{
    return main_program(argc, argv);
}
