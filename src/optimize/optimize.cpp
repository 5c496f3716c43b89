// Placeholder: replaced when this unit is built.
