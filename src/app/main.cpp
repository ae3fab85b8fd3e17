#include "app/KestruneApp.h"

int main(int argc, char** argv) {
    return kestrune::app::CKestruneApp::Run(argc, argv);
}
