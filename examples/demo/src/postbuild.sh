#!/bin/sh
# Runs after the compiler (DemoApp.after): names the target and its size.
if [ -f "$1" ]; then
  echo "Post-processing: $(basename "$1") is $(wc -c < "$1") bytes"
else
  echo "Post-processing: $1 was not built"
fi
