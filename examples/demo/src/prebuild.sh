#!/bin/sh
# Runs before the compiler (DemoApp.before): says what is about to be built.
echo "Pre-processing: about to compile $(basename "$1") in $(pwd)"
