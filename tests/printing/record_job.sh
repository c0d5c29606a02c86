#!/bin/sh
# ippeveprinter's print command: keeps the job's attributes, as the printer received them, beside the
# document; written under another name first, so that a reader never sees half of them.
env | grep '^IPP_' | sort >"$1.part" && mv "$1.part" "$1.attributes"
