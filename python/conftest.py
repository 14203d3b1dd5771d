# Makes the package importable from the checkout; pytest puts this folder on
# sys.path because of this file.
