# The warnings every target of the project is built with, errors all; read by the main build and the fuzz project.
set(TESSEL_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror)
